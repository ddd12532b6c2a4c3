// Identifiers of the viewer host's message texts, shared by C++ and its resource script
// (which understands only preprocessor numbers, hence defines).
#pragma once

#define SOleError 64256
#define SNoMethod 64257
#define SVarNotObject 64258
#define SIntfNotSupported 64259
#define SOleCtrlActivation 64260
#define SNoWindowHandle 64261
