// Makes every component class of the two windows readable from their descriptions, and
// registers COM start-up as a start-up hook of the application.
#pragma once

void RegisterProgramClasses();
