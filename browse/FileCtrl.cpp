// Path text rules, the shared helpers, the directory search and glyph drawing of FileCtrl.
#include "browse/FileCtrl.h"

#include <winnetwk.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

#include "framework/MessageTexts.h"
#include "framework/SysUtils.h"

namespace {

bool IsDoubleByteSystem() { return GetSystemMetrics(SM_DBCSENABLED) != 0; }

// Character positions of the text: a lead byte and its trail byte count as one.
template <class Visit>
void ForEachCharacter(std::string_view text, Visit visit) {
  for (std::size_t i = 0; i < text.size();) {
    bool pair = IsPathLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
    visit(i, pair);
    i += pair ? 2 : 1;
  }
}

std::size_t FirstBackslash(std::string_view text) {
  std::size_t found = std::string_view::npos;
  ForEachCharacter(text, [&](std::size_t i, bool pair) {
    if (found == std::string_view::npos && !pair && text[i] == '\\') found = i;
  });
  return found;
}

std::string ChangeAsciiCase(std::string_view text, bool upper) {
  std::string out(text);
  ForEachCharacter(text, [&](std::size_t i, bool pair) {
    if (pair) return;
    char c = out[i];
    if (upper && c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 'a' + 'A');
    if (!upper && c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c - 'A' + 'a');
  });
  return out;
}

int CompareInLocale(std::string_view a, std::string_view b, DWORD flags) {
  return CompareStringA(LOCALE_USER_DEFAULT, flags, a.data(), static_cast<int>(a.size()), b.data(),
                        static_cast<int>(b.size())) -
         CSTR_EQUAL;
}

class SearchHandle {
 public:
  explicit SearchHandle(HANDLE handle) : handle_(handle) {}
  SearchHandle(const SearchHandle&) = delete;
  SearchHandle& operator=(const SearchHandle&) = delete;
  ~SearchHandle() {
    if (valid()) FindClose(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

bool HasUnpairedSurrogate(const wchar_t* text, int length) {
  for (int i = 0; i < length; ++i) {
    wchar_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
    else if (c >= 0xD800 && c <= 0xDFFF) return true;
  }
  return false;
}

}  // namespace

bool ExactInCodePage(unsigned codePage, const wchar_t* text, std::string& out) {
  int length = static_cast<int>(wcslen(text));
  out.clear();
  if (length == 0) return true;
  // UTF-8 holds every character; the system refuses to report replacements for it, so only a
  // lone surrogate (which it would replace) makes such a conversion inexact.
  // Every ANSI code page and UTF-8 hold ASCII as it is: the usual name needs no conversion call
  // (one per entry of every folder read).
  if (std::all_of(text, text + length, [](wchar_t c) { return c < 0x80; })) {
    out.assign(text, text + length);
    return true;
  }
  bool utf8 = codePage == CP_UTF8;
  if (utf8 && HasUnpairedSurrogate(text, length)) return false;
  DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL replaced = FALSE;
  BOOL* replacedOut = utf8 ? nullptr : &replaced;
  // One call for the usual name that fits a path.
  char buffer[2 * MAX_PATH];
  int size = WideCharToMultiByte(codePage, flags, text, length, buffer, sizeof buffer, nullptr, replacedOut);
  if (size > 0) {
    if (replaced) return false;
    out.assign(buffer, static_cast<std::size_t>(size));
    return true;
  }
  size = WideCharToMultiByte(codePage, flags, text, length, nullptr, 0, nullptr, replacedOut);
  if (size <= 0 || replaced) return false;
  out.resize(static_cast<std::size_t>(size));
  WideCharToMultiByte(codePage, flags, text, length, out.data(), size, nullptr, replacedOut);
  return !replaced;
}

namespace {

// Converts to the ANSI code page; false when a character has no code of its own there (one
// replaced by "?" or by a look-alike, such as "a" for an a with ogonek, would name another file
// or none).
bool ExactAnsi(const wchar_t* text, std::string& out) { return ExactInCodePage(GetACP(), text, out); }

bool DosTimeOf(const FILETIME& written, int& time) {
  FILETIME local;
  SYSTEMTIME fields;
  WORD date = 0, clock = 0;
  if (!FileTimeToLocalFileTime(&written, &local) || !FileTimeToSystemTime(&local, &fields)) return false;
  // Wine wraps a year past 2107 into the seven bits instead of failing.
  if (fields.wYear < 1980 || fields.wYear > 2107) return false;
  if (!FileTimeToDosDateTime(&local, &date, &clock)) return false;
  time = static_cast<int>((static_cast<unsigned>(date) << 16) | clock);
  return true;
}

}  // namespace

// ---- Path text

std::string Concat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view part : parts) out.append(part);
  return out;
}

bool IsPathLeadByte(unsigned char c) { return c >= 0x80 && IsDBCSLeadByte(c); }

std::size_t LastDelimiter(std::string_view delimiters, std::string_view text) {
  std::size_t found = std::string_view::npos;
  ForEachCharacter(text, [&](std::size_t i, bool pair) {
    if (!pair && delimiters.find(text[i]) != std::string_view::npos) found = i;
  });
  return found;
}

bool EndsWithBackslash(std::string_view text) {
  bool last = false;
  ForEachCharacter(text, [&](std::size_t i, bool pair) { last = !pair && text[i] == '\\'; });
  return last;
}

std::string ExtractFileDrive(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2));
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    // Up to the backslash that follows the share name.
    int separators = 0;
    std::size_t end = path.size();
    ForEachCharacter(path.substr(2), [&](std::size_t i, bool pair) {
      if (end == path.size() && !pair && path[i + 2] == '\\' && ++separators == 2) end = i + 2;
    });
    return std::string(path.substr(0, end));
  }
  return std::string();
}

std::string ExtractFilePath(std::string_view path) {
  std::size_t at = LastDelimiter("\\:", path);
  return at == std::string_view::npos ? std::string() : std::string(path.substr(0, at + 1));
}

std::string ExtractFileName(std::string_view path) {
  std::size_t at = LastDelimiter("\\:", path);
  return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

std::string ExtractFileExt(std::string_view path) {
  std::size_t at = LastDelimiter(".\\:", path);
  if (at == std::string_view::npos || path[at] != '.') return std::string();
  return std::string(path.substr(at));
}

std::string FileNameLowerCase(std::string_view text) {
  if (IsDoubleByteSystem()) return ChangeAsciiCase(text, false);
  return AnsiLowerCase(text);
}

std::string FileNameUpperCase(std::string_view text) {
  if (IsDoubleByteSystem()) return ChangeAsciiCase(text, true);
  return AnsiUpperCase(text);
}

bool SameFileName(std::string_view a, std::string_view b) {
  return CompareInLocale(FileNameLowerCase(a), FileNameLowerCase(b), 0) == 0;
}

int CompareCaseSensitive(std::string_view a, std::string_view b) { return CompareInLocale(a, b, 0); }

int CompareCaseInsensitive(std::string_view a, std::string_view b) { return CompareInLocale(a, b, NORM_IGNORECASE); }

std::string DisplayLowerCase(std::string_view text) { return AnsiLowerCase(text); }

// ---- The helpers

std::string JoinPath(std::string_view directory, std::string_view name) {
  std::string out(directory);
  if (!EndsWithBackslash(directory)) out += '\\';
  out += name;
  return out;
}

void DropFirstDirectory(std::string& text) {
  if (text == "\\") {
    text.clear();
    return;
  }
  std::string_view rest = text;
  bool rooted = !rest.empty() && rest[0] == '\\';
  if (rooted) rest.remove_prefix(1);
  // What an earlier step left in front ("...\\").
  if (!rest.empty() && rest[0] == '.') rest.remove_prefix(std::min<std::size_t>(4, rest.size()));
  std::size_t at = FirstBackslash(rest);
  std::string out;
  if (at != std::string_view::npos) {
    if (rooted) out.push_back('\\');
    out.append("...\\");
    out.append(rest.substr(at + 1));
  } else if (rooted) {
    out.push_back('\\');
  }
  text = std::move(out);
}

std::string ShortenPath(const std::string& path, const std::function<int(const std::string&)>& measure, int maxWidth) {
  std::string result = path;
  std::string directory = ExtractFilePath(path);
  std::string name = ExtractFileName(path);
  std::string drive;
  if (directory.size() >= 2 && directory[1] == ':') {
    drive = directory.substr(0, 2);
    directory.erase(0, 2);
  }
  while ((!directory.empty() || !drive.empty()) && measure(result) > maxWidth) {
    if (directory == "\\...\\") {
      drive.clear();
      directory = "...\\";
    } else if (directory.empty()) {
      drive.clear();
    } else {
      DropFirstDirectory(directory);
    }
    result = Concat({drive, directory, name});
  }
  return result;
}

std::string ShortenPath(const std::string& path, TCanvas& canvas, int maxWidth) {
  return ShortenPath(
      path, [&canvas](const std::string& text) { return canvas.TextWidth(text); }, maxWidth);
}

std::string VolumeLabelText(char drive) {
  QuietDriveAccess quiet;
  char root[4] = {drive, ':', '\\', '\0'};
  char label[261] = {};
  std::string text;
  if (GetVolumeInformationA(root, label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0)) {
    label[sizeof label - 1] = '\0';
    text = label;
  }
  text = drive >= 'a' ? FileNameLowerCase(text) : FileNameUpperCase(text);
  return Concat({"[", text, "]"});
}

std::string NetworkDriveText(char drive) {
  char letter = drive >= 'a' && drive <= 'z' ? static_cast<char>(drive - 'a' + 'A') : drive;
  char local[3] = {letter, ':', '\0'};
  char remote[261] = {};
  DWORD size = sizeof remote;
  if (WNetGetConnectionA(local, remote, &size) != NO_ERROR) return VolumeLabelText(drive);
  remote[sizeof remote - 1] = '\0';
  return drive >= 'a' ? FileNameLowerCase(remote) : FileNameUpperCase(remote);
}

SplitPathResult SplitPathText(const std::string& text) {
  SplitPathResult out;
  const std::string saved = CurrentDirectory();
  const std::string savedDrive = ExtractFileDrive(saved);
  out.drive = saved[0];
  std::string directory = text;
  std::string driveText;
  // A drive text taken from the saved directory names where the process already is; changing
  // to it would move a network path to its share's root.
  bool driveGiven = false;
  // The closing bracket must be a character of its own, not the second byte of a pair.
  bool bracketed = text.size() >= 2 && text.front() == '[' && LastDelimiter("]", text) == text.size() - 1;
  if (bracketed) {
    directory = text.substr(1, text.size() - 2);
    // On a network path there is no drive letter: the share goes back in front below.
    if (savedDrive.size() < 2 || savedDrive[1] != ':') out.drive = 0;
  } else {
    driveText = ExtractFileDrive(text);
    driveGiven = !driveText.empty();
    if (driveGiven) directory.erase(0, driveText.size());
    else driveText = savedDrive;
    out.drive = driveText.size() >= 2 && driveText[1] == ':' ? driveText[0] : '\0';
  }

  struct BackToSaved {
    const std::string& saved;
    ~BackToSaved() {
      if (IsExistingDirectory(saved)) EnterDirectory(saved);
    }
  } backToSaved{saved};

  if (driveGiven) {
    // A drive whose remembered directory is gone is entered at its root; one that cannot be
    // entered at all fails here, before the rest is looked up on the wrong drive.
    if (IsExistingDirectory(driveText)) ChangeDirectory(driveText);
    else ChangeDirectory(out.drive != '\0' ? Concat({driveText, "\\"}) : driveText);
  }
  std::string file = ExtractFileName(directory);
  if (directory.size() == file.size() + 1) {
    directory.assign(1, '\\');
  } else if (file.size() < directory.size()) {
    directory.erase(directory.size() - (file.size() + 1));
  } else {
    std::string current = CurrentDirectory();
    directory = current.substr(ExtractFileDrive(current).size());
    if (directory.empty()) directory.assign(1, '\\');
  }
  if (!directory.empty()) ChangeDirectory(directory);
  if (!file.empty() && file.find_first_of("*?") == std::string::npos && !IsExistingFile(file)) {
    ChangeDirectory(file);
    directory = directory.size() == 1 ? Concat({"\\", file}) : Concat({directory, "\\", file});
    file.clear();
  }
  if (out.drive == '\0') directory = Concat({bracketed ? savedDrive : driveText, directory});
  out.directory = directory;
  out.file = file;
  return out;
}

int FontLineHeight(TFont& font) {
  HDC dc = GetDC(nullptr);
  TEXTMETRICA metrics{};
  HGDIOBJ old = SelectObject(dc, font.Handle());
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return metrics.tmHeight;
}

int PathDepth(std::string_view path) {
  int depth = 0;
  ForEachCharacter(path, [&](std::size_t i, bool pair) {
    if (!pair && path[i] == '\\') ++depth;
  });
  return depth;
}

bool IsExistingDirectory(const std::string& path) {
  if (path.empty()) return false;
  QuietDriveAccess quiet;
  DWORD attributes = GetFileAttributesW(ExtendedLengthPath(AnsiToWide(path)).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Whether a file exists does not depend on its date: a file dated 1975 or 2150 is there too.
bool IsExistingFile(const std::string& name) {
  if (name.empty()) return false;
  QuietDriveAccess quiet;
  WIN32_FIND_DATAW data;
  SearchHandle search(FindFirstFileW(ExtendedLengthPath(AnsiToWide(name)).c_str(), &data));
  return search.valid() && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// ---- Names outside the code page

std::string ReachableName(const WIN32_FIND_DATAW& entry) {
  std::string name;
  if (ExactAnsi(entry.cFileName, name)) return name;
  std::string shortName;
  if (entry.cAlternateFileName[0] && ExactAnsi(entry.cAlternateFileName, shortName)) return shortName;
  // Without a short name (8.3 names turned off) the ANSI text would hold "?" in place of the
  // missing characters: a wildcard that reaches another file, or several.
  return std::string();
}

std::string ReachablePath(const std::wstring& path) {
  std::string text;
  if (ExactAnsi(path.c_str(), text)) return text;
  DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
  std::wstring shortPath(size, L'\0');
  DWORD length = size ? GetShortPathNameW(path.c_str(), shortPath.data(), size) : 0;
  if (length == 0 || length >= size) return WideToAnsi(path);
  shortPath.resize(length);
  // Step by step: a step that the code page holds keeps its long name.
  auto steps = [](const std::wstring& p) {
    std::vector<std::wstring> out(1);
    for (wchar_t c : p) {
      if (c == L'\\') out.emplace_back();
      else out.back() += c;
    }
    return out;
  };
  std::vector<std::wstring> longSteps = steps(path), shortSteps = steps(shortPath);
  if (longSteps.size() != shortSteps.size()) return WideToAnsi(shortPath);
  std::string out;
  for (std::size_t i = 0; i < longSteps.size(); ++i) {
    if (i) out += '\\';
    std::string step;
    if (!ExactAnsi(longSteps[i].c_str(), step)) step = WideToAnsi(shortSteps[i]);
    out += step;
  }
  return out;
}

std::wstring ExtendedLengthPath(const std::wstring& path) {
  bool absolute = (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') || path.rfind(L"\\\\", 0) == 0;
  if ((absolute && path.size() < MAX_PATH) || path.rfind(L"\\\\?\\", 0) == 0) return path;
  // For a drive-relative path ("E:", "E:docs") Wine copies the drive's remembered directory
  // into a block the size of the caller's buffer and writes one character past it when that
  // directory does not fit, corrupting the heap: the buffer is then one that any such
  // directory fits.
  bool driveRelative = path.size() >= 2 && path[1] == L':' && (path.size() == 2 || path[2] != L'\\');
  DWORD size = driveRelative ? 32768 : GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  std::wstring full(size, L'\0');
  DWORD length = size ? GetFullPathNameW(path.c_str(), size, full.data(), nullptr) : 0;
  if (length == 0 || length >= size) return path;
  full.resize(length);
  if (full.size() < MAX_PATH) return path;
  // The prefix turns off the system's own clean-up of the path, which GetFullPathNameW did.
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

namespace {

// The path's short form when it is shorter than `limit` and the code page holds it; else empty.
std::string ShortFormWithin(const std::string& path, std::size_t limit) {
  std::wstring wide = ExtendedLengthPath(AnsiToWide(path));
  DWORD size = GetShortPathNameW(wide.c_str(), nullptr, 0);
  std::wstring shortPath(size, L'\0');
  DWORD length = size ? GetShortPathNameW(wide.c_str(), shortPath.data(), size) : 0;
  if (length == 0 || length >= size) return std::string();
  shortPath.resize(length);
  if (shortPath.rfind(L"\\\\?\\UNC\\", 0) == 0) shortPath = L"\\\\" + shortPath.substr(8);
  else if (shortPath.rfind(L"\\\\?\\", 0) == 0) shortPath.erase(0, 4);
  std::string out;
  if (shortPath.size() >= limit || !ExactAnsi(shortPath.c_str(), out)) return std::string();
  return out;
}

}  // namespace

std::string ReachableShortPath(const std::string& path) {
  if (path.size() < MAX_PATH) return path;
  std::string shortPath = ShortFormWithin(path, MAX_PATH);
  return shortPath.empty() ? path : shortPath;
}

// ---- Directories

void RaiseInOutError(int code) {
  unsigned id = 0;
  switch (code) {
    case 2:
      id = SFileNotFound;
      break;
    case 3:
      id = SInvalidFilename;
      break;
    case 4:
      id = STooManyOpenFiles;
      break;
    case 5:
      id = SAccessDenied;
      break;
    case 100:
      id = SEndOfFile;
      break;
    case 101:
      id = SDiskFull;
      break;
    case 106:
      id = SInvalidInput;
      break;
    default:
      throw EInOutError(ResFmt(SInOutError, code), code);
  }
  throw EInOutError(LoadResString(id), code);
}

#ifdef FOLVANE_TEST_SEAMS
BOOL(WINAPI* EnterDirectorySeam)(LPCSTR path) = SetCurrentDirectoryA;
DWORD(WINAPI* LogicalDrivesSeam)() = GetLogicalDrives;
#endif

QuietDriveAccess::QuietDriveAccess() : old_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}

QuietDriveAccess::~QuietDriveAccess() { SetErrorMode(old_); }

bool EnterDirectory(const std::string& path) {
  QuietDriveAccess quiet;
#ifdef FOLVANE_TEST_SEAMS
  return EnterDirectorySeam(path.c_str()) != FALSE;
#else
  return SetCurrentDirectoryA(path.c_str()) != FALSE;
#endif
}

DWORD LogicalDrives() {
#ifdef FOLVANE_TEST_SEAMS
  return LogicalDrivesSeam();
#else
  return GetLogicalDrives();
#endif
}

void ChangeDirectory(const std::string& path) {
  if (EnterDirectory(path)) return;
  DWORD error = GetLastError();
  // A directory too long to be the current one is entered by its short form where it has one
  // (the current directory holds MAX_PATH - 2 characters with its closing backslash).
  if (path.size() >= MAX_PATH - 3) {
    std::string shortPath = ShortFormWithin(path, MAX_PATH - 3);
    if (!shortPath.empty() && EnterDirectory(shortPath)) return;
  }
  RaiseInOutError(static_cast<int>(error));
}

std::string CurrentDirectory() {
  DWORD needed = GetCurrentDirectoryW(0, nullptr);
  std::wstring out(needed + 1, L'\0');
  DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(out.size()), out.data());
  out.resize(length < out.size() ? length : 0);
  return ReachablePath(out);
}

bool LeftOutOfSearch(unsigned attr, unsigned attributes) {
  constexpr unsigned excludable = faHidden | faSysFile | faVolumeID | faDirectory;
  return (attr & excludable & ~attributes) != 0;
}

namespace {

// The basic level leaves out the short name, which the platform would otherwise work out for
// every entry; large fetches bring more entries per request. Systems older than both (XP)
// refuse them and get the plain search.
HANDLE FindFirst(const std::wstring& pattern, TEntryLevel level, WIN32_FIND_DATAW& data) {
  HANDLE search =
      FindFirstFileExW(pattern.c_str(), level == TEntryLevel::standard ? FindExInfoStandard : FindExInfoBasic, &data,
                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER)
    search = FindFirstFileW(pattern.c_str(), &data);
  return search;
}

// A name of plain ASCII is the same in every ANSI code page: no conversion call.
bool AsciiName(const wchar_t* text, std::string& out) {
  out.clear();
  for (; *text; ++text) {
    if (*text >= 0x80) return false;
    out.push_back(static_cast<char>(*text));
  }
  return true;
}

// The short name that the basic level left out, asked for the one entry that needs it.
void FillShortName(const std::wstring& directory, WIN32_FIND_DATAW& data) {
  std::wstring path = ExtendedLengthPath(directory + data.cFileName);
  wchar_t shortPath[MAX_PATH * 2];
  DWORD length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH * 2);
  if (length == 0 || length >= MAX_PATH * 2) return;
  const wchar_t* name = shortPath + length;
  while (name > shortPath && name[-1] != L'\\') --name;
  if (wcslen(name) < 14) wcscpy(data.cAlternateFileName, name);
}

// The directory entry of GetFileInformationByHandleEx's FileIdBothDirectoryInfo class, declared
// here because the headers offer it only to programs that need Vista, and this one runs on XP.
struct DirectoryEntryInfo {
  DWORD NextEntryOffset;
  DWORD FileIndex;
  LARGE_INTEGER CreationTime;
  LARGE_INTEGER LastAccessTime;
  LARGE_INTEGER LastWriteTime;
  LARGE_INTEGER ChangeTime;
  LARGE_INTEGER EndOfFile;
  LARGE_INTEGER AllocationSize;
  DWORD FileAttributes;
  DWORD FileNameLength;
  DWORD EaSize;
  CCHAR ShortNameLength;
  WCHAR ShortName[12];
  LARGE_INTEGER FileId;
  WCHAR FileName[1];
};
static_assert(offsetof(DirectoryEntryInfo, FileName) == 104, "the platform's layout");
constexpr int kFileIdBothDirectoryInfo = 10;
using ReadEntriesCall = BOOL(WINAPI*)(HANDLE, int, void*, DWORD);

ReadEntriesCall ReadEntriesFunction() {
  static const auto call = reinterpret_cast<ReadEntriesCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "GetFileInformationByHandleEx")));
  return call;
}

FILETIME AsFileTime(const LARGE_INTEGER& time) {
  return FILETIME{static_cast<DWORD>(time.LowPart), static_cast<DWORD>(time.HighPart)};
}

// The directory that a pattern reading every entry names ("C:\docs\*.*" gives "C:\docs"), or
// nothing for any other pattern: names matched by a mask are left to the system's search.
std::wstring WholeDirectoryOf(const std::wstring& pattern) {
  std::size_t slash = pattern.rfind(L'\\');
  if (slash == std::wstring::npos || slash == 0) return std::wstring();
  std::wstring_view mask = std::wstring_view(pattern).substr(slash + 1);
  if (mask != L"*" && mask != L"*.*") return std::wstring();
  bool absolute = (slash >= 2 && pattern[1] == L':') || pattern.rfind(L"\\\\", 0) == 0;
  if (!absolute) return std::wstring();
  // A drive's root keeps its backslash: "C:" alone is the drive's current directory.
  return pattern.substr(0, slash == 2 && pattern[1] == L':' ? 3 : slash);
}

// Reads a directory's next batch on a thread of its own while the caller handles the batch before:
// under Wine a batch costs about as much to read as a list costs to take in, and the two overlap.
// One reader serves the process; it is made at the first folder of several batches (making a
// thread costs some milliseconds under Wine) and kept, idle, until the process ends.
class TReadAhead {
 public:
  // The reader, when it is free and can be had; the caller gives it back with Release.
  static TReadAhead* Take() {
    static TReadAhead* const reader = Make();
    if (!reader || InterlockedExchange(&reader->busy_, 1) != 0) return nullptr;
    return reader;
  }
  void Release() { InterlockedExchange(&busy_, 0); }
  void Start(ReadEntriesCall read, HANDLE handle, void* buffer, DWORD size) {
    read_ = read;
    handle_ = handle;
    buffer_ = buffer;
    size_ = size;
    SetEvent(request_);
  }
  // The batch started last: false at the end or on a failure, with the reader's last error.
  bool Finish() {
    WaitForSingleObject(done_, INFINITE);
    if (!result_) SetLastError(error_);
    return result_ != FALSE;
  }

 private:
  TReadAhead() = default;
  static TReadAhead* Make() {
    auto* reader = new TReadAhead;
    reader->request_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    reader->done_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE thread = reader->request_ && reader->done_ ? CreateThread(nullptr, 0, Run, reader, 0, nullptr) : nullptr;
    if (!thread) {
      if (reader->request_) CloseHandle(reader->request_);
      if (reader->done_) CloseHandle(reader->done_);
      delete reader;
      return nullptr;
    }
    CloseHandle(thread);
    return reader;
  }
  static DWORD WINAPI Run(void* self) {
    auto* reader = static_cast<TReadAhead*>(self);
    for (;;) {
      WaitForSingleObject(reader->request_, INFINITE);
      reader->result_ = reader->read_(reader->handle_, kFileIdBothDirectoryInfo, reader->buffer_, reader->size_);
      reader->error_ = reader->result_ ? ERROR_SUCCESS : GetLastError();
      SetEvent(reader->done_);
    }
  }

  HANDLE request_ = nullptr;
  HANDLE done_ = nullptr;
  LONG volatile busy_ = 0;
  ReadEntriesCall read_ = nullptr;
  HANDLE handle_ = nullptr;
  void* buffer_ = nullptr;
  DWORD size_ = 0;
  BOOL result_ = FALSE;
  DWORD error_ = ERROR_SUCCESS;
};

constexpr DWORD kBatch = 256 * 1024;

// Visits each entry of one batch; gives the bytes the entries fill. The answer is bounded by the
// buffer, whatever its offsets and lengths say.
template <class Visit>
DWORD ForEachEntry(const char* batch, Visit visit) {
  constexpr DWORD kLast = kBatch - offsetof(DirectoryEntryInfo, FileName);
  for (DWORD at = 0;;) {
    const auto* entry = reinterpret_cast<const DirectoryEntryInfo*>(batch + at);
    if (entry->FileNameLength > kLast - at) return at;
    visit(*entry);
    DWORD next = entry->NextEntryOffset;
    if (next == 0 || next % sizeof(LONGLONG) != 0 || next > kLast - at)
      return at + offsetof(DirectoryEntryInfo, FileName) + entry->FileNameLength;
    at += next;
  }
}

void TakeEntries(const char* batch, bool root, const std::function<void(WIN32_FIND_DATAW&)>& take) {
  WIN32_FIND_DATAW data;
  ForEachEntry(batch, [&](const DirectoryEntryInfo& entry) {
    data = WIN32_FIND_DATAW{};
    data.dwFileAttributes = entry.FileAttributes;
    data.ftCreationTime = AsFileTime(entry.CreationTime);
    data.ftLastAccessTime = AsFileTime(entry.LastAccessTime);
    data.ftLastWriteTime = AsFileTime(entry.LastWriteTime);
    data.nFileSizeHigh = static_cast<DWORD>(entry.EndOfFile.HighPart);
    data.nFileSizeLow = entry.EndOfFile.LowPart;
    // As the search reports it: the reparse tag of a reparse point.
    if (entry.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) data.dwReserved0 = entry.EaSize;
    std::size_t length = std::min<std::size_t>(entry.FileNameLength / sizeof(WCHAR), MAX_PATH - 1);
    std::copy_n(entry.FileName, length, data.cFileName);
    if (root && (wcscmp(data.cFileName, L".") == 0 || wcscmp(data.cFileName, L"..") == 0)) length = 0;
    std::size_t shortLength =
        std::min<std::size_t>(static_cast<unsigned char>(entry.ShortNameLength) / sizeof(WCHAR), 12);
    std::copy_n(entry.ShortName, shortLength, data.cAlternateFileName);
    if (length > 0) take(data);
  });
}

// Every entry of a directory in large batches: the search asks for a few dozen entries at a time,
// and under Wine each request has its own cost (a folder of 10,000 entries reads in about four
// fifths of the search's time). False when the system offers no such read or refuses it before
// the first entry: the caller then searches.
bool ReadWholeDirectory(const std::wstring& directory, const std::function<void(WIN32_FIND_DATAW&)>& take) {
  ReadEntriesCall read = ReadEntriesFunction();
  if (!read || directory.empty()) return false;
  // The search leaves out a drive root's "." and "..".
  const bool root = directory.size() == 3 && directory[1] == L':';
  HANDLE handle = CreateFileW(directory.c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  TScopeExit close([handle] { CloseHandle(handle); });
  // Not cleared: only what the system wrote is read.
  std::unique_ptr<LONGLONG[]> buffers[2] = {std::unique_ptr<LONGLONG[]>(new LONGLONG[kBatch / sizeof(LONGLONG)])};
  if (!read(handle, kFileIdBothDirectoryInfo, buffers[0].get(), kBatch)) return GetLastError() == ERROR_NO_MORE_FILES;
  TReadAhead* ahead = nullptr;
  bool reading = false;
  // Before the handle closes and the buffers go, also when `take` raises.
  TScopeExit finish([&] {
    if (reading) ahead->Finish();
    if (ahead) ahead->Release();
  });
  for (int current = 0;; current = 1 - current) {
    const char* batch = reinterpret_cast<const char*>(buffers[current].get());
    // A batch that filled most of its buffer has more behind it: read on while this one is handled.
    const bool full = ForEachEntry(batch, [](const DirectoryEntryInfo&) {}) > kBatch / 2;
    std::unique_ptr<LONGLONG[]>& other = buffers[1 - current];
    if (full && (ahead || (ahead = TReadAhead::Take()))) {
      if (!other) other.reset(new LONGLONG[kBatch / sizeof(LONGLONG)]);
      ahead->Start(read, handle, other.get(), kBatch);
      reading = true;
    }
    TakeEntries(batch, root, take);
    bool more;
    if (reading) {
      reading = false;
      more = ahead->Finish();
    } else {
      if (!other) other.reset(new LONGLONG[kBatch / sizeof(LONGLONG)]);
      more = read(handle, kFileIdBothDirectoryInfo, other.get(), kBatch);
    }
    if (!more) return true;
  }
}

}  // namespace

void ReadDirectory(const std::string& pattern, unsigned attributes,
                   const std::function<void(const char* name, const WIN32_FIND_DATAW& entry)>& found,
                   TEntryLevel level) {
  if (pattern.empty()) return;
  QuietDriveAccess quiet;
  std::wstring widePattern = ExtendedLengthPath(AnsiToWide(pattern));
  std::string name;
  bool shortNames = true;  // the batched read always brings them
  auto take = [&](WIN32_FIND_DATAW& data) {
    if (LeftOutOfSearch(data.dwFileAttributes, attributes)) return;
    data.cFileName[MAX_PATH - 1] = L'\0';
    data.cAlternateFileName[13] = L'\0';
    if (!AsciiName(data.cFileName, name) && !ExactAnsi(data.cFileName, name)) {
      if (!shortNames) FillShortName(AnsiToWide(ExtractFilePath(pattern)), data);
      name = ReachableName(data);
    }
    if (name.empty()) return;  // not reachable through this code page: left out
    found(name.c_str(), data);
  };
  if (ReadWholeDirectory(WholeDirectoryOf(widePattern), take)) return;
  shortNames = level == TEntryLevel::standard;
  WIN32_FIND_DATAW data;
  // Through the wide interface: the ANSI one gives "?" or a look-alike for a character that the
  // code page lacks, and such a name reaches another file or none.
  SearchHandle search(FindFirst(widePattern, level, data));
  if (!search.valid()) return;
  do take(data);
  while (FindNextFileW(search.get(), &data));
}

void SearchDirectory(const std::string& pattern, unsigned attributes,
                     const std::function<void(const TSearchRec&)>& found) {
  ReadDirectory(pattern, attributes, [&found](const char* name, const WIN32_FIND_DATAW& data) {
    TSearchRec entry;
    entry.Name = name;
    entry.Attr = data.dwFileAttributes;
    entry.Size = data.nFileSizeLow;
    if (!DosTimeOf(data.ftLastWriteTime, entry.Time)) entry.Time = 0;
    entry.FindData = data;
    found(entry);
  });
}

void ListDirectory(const std::string& pattern, unsigned attributes,
                   const std::function<void(const char* name, unsigned attr)>& found) {
  ReadDirectory(pattern, attributes,
                [&found](const char* name, const WIN32_FIND_DATAW& entry) { found(name, entry.dwFileAttributes); });
}

namespace {

bool IsPlainExtensionCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::string_view("_-~$#!@&()").find(c) != std::string_view::npos;
}

char AsciiUpper(wchar_t c) { return static_cast<char>(c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c); }

PatternMatch EndsWithExtension(const wchar_t* name, std::string_view tail) {
  std::size_t length = wcslen(name);
  if (length < tail.size()) return PatternMatch::no;
  const wchar_t* end = name + (length - tail.size());
  for (std::size_t i = 0; i < tail.size(); ++i) {
    if (end[i] >= 0x80) return PatternMatch::unknown;
    if (AsciiUpper(end[i]) != AsciiUpper(static_cast<wchar_t>(tail[i]))) return PatternMatch::no;
  }
  return PatternMatch::yes;
}

}  // namespace

bool IsPlainPattern(std::string_view pattern) {
  if (pattern == "*" || pattern == "*.*") return true;
  if (pattern.size() < 3 || pattern.substr(0, 2) != "*.") return false;
  return std::all_of(pattern.begin() + 2, pattern.end(), IsPlainExtensionCharacter);
}

PatternMatch MatchPlainPattern(std::string_view pattern, const WIN32_FIND_DATAW& entry) {
  if (pattern == "*" || pattern == "*.*") return PatternMatch::yes;
  std::string_view tail = pattern.substr(1);
  PatternMatch longName = EndsWithExtension(entry.cFileName, tail);
  // The search also matches a long name by its short one ("report.pdfx" as REPORT~1.PDF).
  if (longName == PatternMatch::yes || entry.cAlternateFileName[0] == L'\0') return longName;
  PatternMatch shortName = EndsWithExtension(entry.cAlternateFileName, tail);
  if (shortName == PatternMatch::yes) return shortName;
  return longName == PatternMatch::unknown || shortName == PatternMatch::unknown ? PatternMatch::unknown
                                                                                 : PatternMatch::no;
}

// ---- Glyphs

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) return SIZE{0, 0};
  return SIZE{info.bmWidth, info.bmHeight};
}

void DrawGlyph(TCanvas& canvas, HBITMAP glyph, const RECT& rect, int offset) {
  SIZE size = BitmapSize(glyph);
  if (size.cx == 0 || size.cy == 0) return;
  int x = rect.left + offset;
  int y = (rect.top + rect.bottom - size.cy) / 2;
  RECT area{x, y, x + size.cx, y + size.cy};
  // The brush shows through wherever the glyph has its background colour.
  canvas.FillRect(area);
  HDC target = canvas.Handle();
  HDC source = CreateCompatibleDC(target);
  {
    SelectedObject selected(source, glyph);
    COLORREF background = GetPixel(source, 0, size.cy - 1);
    TransparentBlt(target, x, y, size.cx, size.cy, source, 0, 0, size.cx, size.cy, background);
  }
  DeleteDC(source);
}
