// The path and volume helpers that the browsing controls share, and their common rules:
// path text on double-byte code pages, name comparisons, the directory search, changing
// directory, and drawing a glyph beside an item.
//
//   TFileAttr, TFileType   entry attributes and the set of them that a list accepts
//   TSearchRec             one entry found by the directory search
//   SplitPathResult        drive letter, directory part and file part of a typed path
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "framework/Graphics.h"

enum TFileAttr { ftReadOnly, ftHidden, ftSystem, ftVolumeID, ftDirectory, ftArchive, ftNormal };
// Bit n stands for the member of ordinal n.
using TFileType = unsigned char;
constexpr TFileType FileTypeOf(std::initializer_list<TFileAttr> members) {
  TFileType set = 0;
  for (TFileAttr m : members) set = static_cast<TFileType>(set | (1u << m));
  return set;
}
constexpr bool FileTypeHas(TFileType set, TFileAttr member) { return (set >> member) & 1u; }

// Attribute values of the search.
constexpr unsigned faReadOnly = 1, faHidden = 2, faSysFile = 4, faVolumeID = 8, faDirectory = 16, faArchive = 32;
constexpr unsigned faAnyFile = 63;

// ---- Path text

// Joins texts in order (one allocation, no temporaries).
std::string Concat(std::initializer_list<std::string_view> parts);

// True for the first byte of a two-byte character of the system code page.
bool IsPathLeadByte(unsigned char c);
// Position of the last of `delimiters` in the text, stepping over two-byte characters; npos if none.
std::size_t LastDelimiter(std::string_view delimiters, std::string_view text);
// True when the text's last character (not the trail byte of a pair) is a backslash.
bool EndsWithBackslash(std::string_view text);
std::string ExtractFileDrive(std::string_view path);
std::string ExtractFilePath(std::string_view path);
std::string ExtractFileName(std::string_view path);
std::string ExtractFileExt(std::string_view path);

std::string FileNameLowerCase(std::string_view text);
std::string FileNameUpperCase(std::string_view text);
// Both sides lower-cased by the file-name rule, then compared in the user's locale.
bool SameFileName(std::string_view a, std::string_view b);
int CompareCaseSensitive(std::string_view a, std::string_view b);
int CompareCaseInsensitive(std::string_view a, std::string_view b);
std::string DisplayLowerCase(std::string_view text);

// ---- The helpers

std::string JoinPath(std::string_view directory, std::string_view name);
void DropFirstDirectory(std::string& text);
std::string ShortenPath(const std::string& path, TCanvas& canvas, int maxWidth);
// Measures text for ShortenPath: any surface whose font measures it.
std::string ShortenPath(const std::string& path, const std::function<int(const std::string&)>& measure, int maxWidth);
std::string VolumeLabelText(char drive);
std::string NetworkDriveText(char drive);

struct SplitPathResult {
  char drive = 0;
  std::string directory;
  std::string file;
};
SplitPathResult SplitPathText(const std::string& text);
int FontLineHeight(TFont& font);
int PathDepth(std::string_view path);
bool IsExistingDirectory(const std::string& path);
// A name that the search finds as a file (not a directory), whatever its date.
bool IsExistingFile(const std::string& name);

// ---- Names outside the code page

// Converts to the code page; false when a character has no code of its own there.
bool ExactInCodePage(unsigned codePage, const wchar_t* text, std::string& out);

// The name by which this program reaches a found entry: its long name when the ANSI code page
// holds every character of it, otherwise its short (8.3) name; empty when neither does (such
// an entry is left out of every list).
std::string ReachableName(const WIN32_FIND_DATAW& entry);
// The same for a full path: the path itself, or its short form.
std::string ReachablePath(const std::wstring& path);

// ---- Paths beyond MAX_PATH

// The form by which the wide file functions reach the path also when its full form is
// MAX_PATH long or longer (the "\\?\" prefix); otherwise the path as it is.
std::wstring ExtendedLengthPath(const std::wstring& path);
// A path of MAX_PATH or more as its short form when that is shorter than MAX_PATH and the
// code page holds it, so that every ANSI caller and the viewer reach it; otherwise unchanged.
std::string ReachableShortPath(const std::string& path);

// ---- Directories

// Keeps the system's critical-error box ("No disk" and the like) away while a drive is touched,
// so that our own error is the one the user sees; the previous error mode comes back on every
// way out.
class QuietDriveAccess {
 public:
  QuietDriveAccess();
  QuietDriveAccess(const QuietDriveAccess&) = delete;
  QuietDriveAccess& operator=(const QuietDriveAccess&) = delete;
  ~QuietDriveAccess();

 private:
  UINT old_;
};

// Raises EInOutError with the framework's message for the system code.
[[noreturn]] void RaiseInOutError(int code);
// Changes the process's current directory; false with the system's error code on failure.
bool EnterDirectory(const std::string& path);
// Changes the process's current directory; EInOutError on failure.
void ChangeDirectory(const std::string& path);
// The drives present now, one bit per letter (GetLogicalDrives).
DWORD LogicalDrives();

#ifdef FOLVANE_TEST_SEAMS
// Test builds only: where a directory is entered and the drives are read, so that tests can
// present what Wine cannot (a drive without a medium, drives that come and go).
extern BOOL(WINAPI* EnterDirectorySeam)(LPCSTR path);
extern DWORD(WINAPI* LogicalDrivesSeam)();
#endif
// The process's current directory, read back as a full path that reaches it.
std::string CurrentDirectory();

struct TSearchRec {
  std::string Name;
  unsigned Attr = 0;
  unsigned Size = 0;            // low 32 bits
  int Time = 0;                 // DOS date (high word) and time (low word), local time; 0 outside 1980-2107
  WIN32_FIND_DATAW FindData{};  // the entry as the system gave it: full size and time
};
// Calls `found` for each entry matching the pattern, in the platform's order, leaving out
// hidden, system, volume-label and directory entries whose attribute is not requested.
// The search is closed on every path out, also when `found` raises.
void SearchDirectory(const std::string& pattern, unsigned attributes,
                     const std::function<void(const TSearchRec&)>& found);
// What a read gives of each entry: everything, or all but the short name (which is then filled
// in only for a name that the code page cannot hold).
enum class TEntryLevel { standard, basic };
// The same search for filling a list: each entry's reachable name and the entry itself. The
// one place where the lists read a directory.
void ReadDirectory(const std::string& pattern, unsigned attributes,
                   const std::function<void(const char* name, const WIN32_FIND_DATAW& entry)>& found,
                   TEntryLevel level = TEntryLevel::standard);
// ReadDirectory for a caller that needs the name and attributes only.
void ListDirectory(const std::string& pattern, unsigned attributes,
                   const std::function<void(const char* name, unsigned attr)>& found);
// Whether the search for `attributes` leaves out an entry that carries `attr`.
bool LeftOutOfSearch(unsigned attr, unsigned attributes);

// A pattern that a list can match against a read of the whole directory itself, as the system's
// search would: "*", "*.*", or "*." with a plain ASCII extension.
bool IsPlainPattern(std::string_view pattern);
enum class PatternMatch { no, yes, unknown };
// Whether the entry matches such a pattern by its long or its short name, as the search
// matches; unknown where a character outside ASCII decides, since the system's own case rules
// apply there.
PatternMatch MatchPlainPattern(std::string_view pattern, const WIN32_FIND_DATAW& entry);

// ---- Glyphs

// Draws the bitmap at (rect.left + offset, vertically centred), its background (the colour
// of its bottom-left pixel) painted in the canvas's brush colour.
void DrawGlyph(TCanvas& canvas, HBITMAP glyph, const RECT& rect, int offset);
SIZE BitmapSize(HBITMAP bitmap);

// Makes the browsing controls creatable from window descriptions.
void RegisterFileCtrlClasses();
