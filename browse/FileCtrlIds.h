// Identifiers of the browsing controls' message texts, shared by C++ and the resource script
// (which understands only preprocessor numbers, hence defines).
#pragma once

#define SInvalidFileName 64512
