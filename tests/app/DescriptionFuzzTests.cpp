// Damaged copies of the program's two window descriptions: every read ends in a window or in a
// read error, never in a crash, a hang, exhausted memory or another kind of failure; a window
// read is laid out and painted like one the program shows.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

#include "viewerhost/ComObj.h"
#include "framework/Forms.h"
#include "app/ProgramClasses.h"
#include "framework/Streaming.h"

namespace {

constexpr int kMutationsPerWindow = 1500;

// Takes a description of either window, with its handler, under a name of its own.
class TFuzzRoot : public TForm {
 public:
  TFuzzRoot(TComponent* owner, std::string className) : TForm(owner), className_(std::move(className)) {
    SetName("FuzzRoot");
    DeclareMethod("FileListBox1Click", [](TObject*) {});
  }
  std::string ClassName() const override { return className_; }

 private:
  std::string className_;
};

std::vector<std::uint8_t> Resource(const char* name) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC resource = FindResourceA(module, name, reinterpret_cast<LPCSTR>(RT_RCDATA));
  if (!resource) return {};
  const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, resource)));
  return std::vector<std::uint8_t>(bytes, bytes + SizeofResource(module, resource));
}

// One damage: a cut, flipped bits, a byte at an extreme, or a length field at an extreme
// (preferably a real one, right after the tag of a counted value).
std::vector<std::uint8_t> Damage(std::vector<std::uint8_t> bytes, std::mt19937& random) {
  auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
  switch (pick(4)) {
    case 0:
      bytes.resize(pick(bytes.size()));
      break;
    case 1:
      for (std::size_t i = 0, n = 1 + pick(4); i < n; ++i)
        bytes[pick(bytes.size())] ^= static_cast<std::uint8_t>(1u << pick(8));
      break;
    case 2:
      bytes[pick(bytes.size())] = pick(2) ? 0xFF : 0x00;
      break;
    default: {
      static const std::uint32_t extremes[] = {0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0x80000001, 0x10000000, 0x10000, 0};
      std::vector<std::size_t> lengths;
      for (std::size_t i = 0; i + 5 <= bytes.size(); ++i)
        if (bytes[i] == vaLString || bytes[i] == vaBinary || bytes[i] == vaWString || bytes[i] == vaUTF8String)
          lengths.push_back(i + 1);
      std::size_t at = !lengths.empty() && pick(2) ? lengths[pick(lengths.size())] : pick(bytes.size() - 4);
      std::memcpy(&bytes[at], &extremes[pick(std::size(extremes))], 4);
    }
  }
  return bytes;
}

// Makes the window with its children, shows it without activating it and paints it all now.
void ShowAndPaint(TForm& root) {
  root.HandleNeeded();
  ShowWindow(root.Handle(), SW_SHOWNOACTIVATE);
  RedrawWindow(root.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

TEST(DescriptionFuzz, DamagedCopiesOfBothWindowsReadToAWindowOrAReadError) {
  RegisterProgramClasses();
  Application->Initialize();
  // Failures while the windows handle their messages would otherwise wait in an error box.
  std::string failedInMessage;
  Application->OnException = [&](const Exception& error) { failedInMessage = error.Message(); };
  std::mt19937 random(16);
  int read = 0, refused = 0, refusedByControl = 0;
  for (const char* resource : {"TFORM1", "TFORM2"}) {
    const std::vector<std::uint8_t> original = Resource(resource);
    ASSERT_GT(original.size(), 16u) << resource;
    const std::string className = std::string(resource) == "TFORM1" ? "TForm1" : "TForm2";
    for (int i = 0; i < kMutationsPerWindow; ++i) {
      const std::vector<std::uint8_t> bytes = Damage(original, random);
      auto* root = new TFuzzRoot(Application, className);
      try {
        TReader(bytes, root).ReadRootComponent();
        ++read;
        ShowAndPaint(*root);
      } catch (const EReadError&) {
        ++refused;
      } catch (const EOleError&) {
        ++refusedByControl;  // the viewer control refuses the damaged state it is given
      } catch (const std::exception& error) {
        ADD_FAILURE() << resource << ", damage " << i << ": " << typeid(error).name() << " " << error.what();
      }
      if (!failedInMessage.empty()) ADD_FAILURE() << resource << ", damage " << i << ": " << failedInMessage;
      failedInMessage.clear();
      TObject::Free(root);
    }
  }
  Application->OnException = nullptr;
  // Both outcomes occur, so the damage reaches the reader's checks and not only its first one.
  EXPECT_GT(read, 0);
  EXPECT_GT(refused, 0);
  std::printf("read %d, refused %d, of which the control refused %d\n", read, refused, refusedByControl);
}

}  // namespace
