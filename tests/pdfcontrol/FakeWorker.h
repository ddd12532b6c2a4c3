// What the hostile stand-in worker (FakeWorker.cpp) tries that its job forbids: the bits of
// its answer to a probe.
#pragma once

#include <cstdint>

enum ProbeBit : uint32_t {
  kProbeSpawn = 1,      // started a program
  kProbeClipboard = 2,  // emptied the clipboard
  kProbeAtom = 4,       // added a global atom
  kProbeMemory = 8,     // committed 900 MB
  kProbeSettings = 16,  // changed a system setting
};
