// A hostile stand-in for the rendering worker, started by the control's client in the tests.
// It greets like the real one and then does what FOLVANE_FAKE_WORKER says:
//   open:<hex>   answers an open request with these bytes (header and payload), as they are;
//   text:<hex>   answers an open request well (one page) and a text request with these bytes;
//   probe:<path> when asked to open, tries what its job forbids and answers 0x100 plus a bit
//                for each that worked (ProbeBit);
//   hang:        greets, then reads and answers nothing, as if hung inside the PDF library;
//   find:<pages>,<hang>,<match>,<ms>  a document of that many pages, where a search hangs on
//                page <hang>, finds on page <match> (0: neither), and takes <ms> a page, one
//                page a step when <ms> is not 0.
//   render:<failures>,<path>  one page; a render fails and the worker ends while fewer than
//                <failures> renders were asked for in all, as counted in the file; then draws it blue.
//   order:<path> one page, drawn blue; each request's code is added to the file, a line each.
#include "tests/pdfcontrol/FakeWorker.h"
#include "pdfcontrol/RenderProtocol.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace pdfrender;

namespace {

HANDLE in, out;

bool Read(void* data, DWORD size) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    DWORD got = 0;
    if (!ReadFile(in, p, size, &got, nullptr) || got == 0) return false;
    p += got;
    size -= got;
  }
  return true;
}

void Write(const void* data, DWORD size) {
  DWORD put = 0;
  WriteFile(out, data, size, &put, nullptr);
}

void Reply(uint32_t code, const std::vector<char>& payload = {}) {
  const Header header{code, uint32_t(payload.size())};
  Write(&header, sizeof header);
  if (!payload.empty()) Write(payload.data(), DWORD(payload.size()));
}

std::vector<char> FromHex(const std::string& hex) {
  std::vector<char> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(char(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

uint32_t Probe(const std::string& program) {
  uint32_t worked = 0;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::string command = "\"" + program + "\"";
  if (CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    worked |= kProbeSpawn;
    WaitForSingleObject(info.hProcess, 5000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  if (OpenClipboard(nullptr)) {
    if (EmptyClipboard()) worked |= kProbeClipboard;
    CloseClipboard();
  }
  const ATOM atom = GlobalAddAtomA("FolvaneFakeWorkerProbe");
  if (atom) {
    worked |= kProbeAtom;
    GlobalDeleteAtom(atom);
  }
  if (void* block = VirtualAlloc(nullptr, SIZE_T(900) << 20, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {
    worked |= kProbeMemory;
    VirtualFree(block, 0, MEM_RELEASE);
  }
  BOOL beep = TRUE;
  SystemParametersInfoA(SPI_GETBEEP, 0, &beep, 0);
  if (SystemParametersInfoA(SPI_SETBEEP, beep, nullptr, 0)) worked |= kProbeSettings;
  return worked;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  in = GetStdHandle(STD_INPUT_HANDLE);
  out = GetStdHandle(STD_OUTPUT_HANDLE);
  char buffer[4096] = {};
  GetEnvironmentVariableA("FOLVANE_FAKE_WORKER", buffer, sizeof buffer);
  const std::string order = buffer;
  const std::string kind = order.substr(0, order.find(':') == std::string::npos ? 0 : order.find(':'));
  const std::string argument = order.substr(kind.size() + (kind.empty() ? 0 : 1));
  Reply(kHello);
  if (kind == "hang") Sleep(INFINITE);
  for (;;) {
    Header request{};
    if (!Read(&request, sizeof request)) return 0;
    std::vector<char> payload(request.size);
    if (request.size && !Read(payload.data(), request.size)) return 0;
    if (request.code == kQuit) return 0;
    if (kind == "order") {
      if (FILE* f = fopen(argument.c_str(), "a")) {
        fprintf(f, "%u\n", request.code);
        fclose(f);
      }
    }
    if (request.code == kOpen && kind == "open") {
      const std::vector<char> answer = FromHex(argument);
      Write(answer.data(), DWORD(answer.size()));
    } else if (request.code == kOpen && kind == "probe") {
      Reply(0x100 | Probe(argument));
    } else if (request.code == kOpen && kind != "find") {
      std::vector<char> page(8 + sizeof(PageSize));
      const uint32_t counts[2] = {1, 1};
      const PageSize size{200, 100};
      memcpy(page.data(), counts, 8);
      memcpy(page.data() + 8, &size, sizeof size);
      Reply(kOk, page);
    } else if (kind == "find") {
      uint32_t pages = 0, hang = 0, match = 0, ms = 0;
      sscanf(argument.c_str(), "%u,%u,%u,%u", &pages, &hang, &match, &ms);
      auto bytes = [](const void* data, size_t size) {
        return std::vector<char>(static_cast<const char*>(data), static_cast<const char*>(data) + size);
      };
      if (request.code == kOpen) {
        const uint32_t counts[2] = {pages, 1};
        std::vector<char> answer = bytes(counts, sizeof counts);
        const PageSize size{612, 840};
        answer.insert(answer.end(), reinterpret_cast<const char*>(&size), reinterpret_cast<const char*>(&size + 1));
        Reply(kOk, answer);
      } else if (request.code == kSizes && payload.size() == sizeof(SizesRequest)) {
        SizesRequest sizes;
        memcpy(&sizes, payload.data(), sizeof sizes);
        const std::vector<PageSize> answer(sizes.count, PageSize{612, 840});
        Reply(kOk, bytes(answer.data(), answer.size() * sizeof(PageSize)));
      } else if (request.code == kFind && payload.size() >= sizeof(FindRequest)) {
        FindRequest find;
        memcpy(&find, payload.data(), sizeof find);
        FindAnswer answer{};
        for (uint32_t page = find.startPage; answer.searched < find.count; page = page % pages + 1) {
          if (page == hang) Sleep(INFINITE);
          ++answer.searched;
          if (ms) Sleep(ms);
          if (page == match) answer.page = page;
          if (page == match || ms) break;
        }
        Reply(kOk, bytes(&answer, sizeof answer));
      } else {
        Reply(kBadRequest);
      }
    } else if (request.code == kRender && (kind == "render" || kind == "order") &&
               payload.size() == sizeof(RenderRequest)) {
      RenderRequest render;
      memcpy(&render, payload.data(), sizeof render);
      if (kind == "render") {
        const std::string path = argument.substr(argument.find(',') + 1);
        int asked = 0;
        if (FILE* f = fopen(path.c_str(), "r")) {
          if (fscanf(f, "%d", &asked) != 1) asked = 0;
          fclose(f);
        }
        if (FILE* f = fopen(path.c_str(), "w")) {
          fprintf(f, "%d", asked + 1);
          fclose(f);
        }
        if (asked < atoi(argument.c_str())) {
          Reply(kRenderFailed);
          return 0;
        }
      }
      const HANDLE section = reinterpret_cast<HANDLE>(uintptr_t(render.section));
      if (auto* pixels = static_cast<uint32_t*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 0))) {
        std::fill(pixels, pixels + size_t(render.width) * render.height, 0xFF0000FFu);
        UnmapViewOfFile(pixels);
      }
      CloseHandle(section);
      const BitmapHeader bitmap{render.width, render.height};
      Reply(kOk, std::vector<char>(reinterpret_cast<const char*>(&bitmap), reinterpret_cast<const char*>(&bitmap + 1)));
    } else if (request.code == kText && kind == "text") {
      const std::vector<char> answer = FromHex(argument);
      Write(answer.data(), DWORD(answer.size()));
    } else {
      Reply(kBadRequest);
    }
  }
}
