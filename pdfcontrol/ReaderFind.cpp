// Finding text: the search through the worker, showing a match, and the note beside the
// find field.
#include "pdfcontrol/ReaderTools.h"

#include "pdfcontrol/ReaderToolsShared.h"

#include <algorithm>
#include <cmath>

namespace pdfview {

namespace {

// "1,234": the note's numbers, grouped as the note's own text is written.
std::wstring Grouped(uint32_t n) {
  std::wstring digits = std::to_wstring(n);
  for (int at = int(digits.size()) - 3; at > 0; at -= 3) digits.insert(size_t(at), L",");
  return digits;
}

}  // namespace

const std::vector<TextRange>& ReaderTools::MatchesOf(int page) {
  auto it = matches_.find(page);
  if (it != matches_.end()) return it->second;
  const PageText* text = HeldText(page);
  return matches_[page] = text ? text->Find(query_) : std::vector<TextRange>{};
}

bool ReaderTools::Find(const std::wstring& text, bool forward) {
  if (!window_ || !viewer_.HasDocument()) return false;
  if (TextOf(findBox_) != text) SetWindowTextW(findBox_, text.c_str());
  uint32_t request = 0;
  if (!StartFind(forward, request)) return false;
  if (request == 0) return true;
  // A caller that asks is answered: wait here, painting (and showing the progress) meanwhile,
  // but taking no input that could start another search under this one.
  const DWORD started = GetTickCount();
  for (;;) {
    TextAnswer answer = renderer_.WaitText(request, 0);
    if (!answer.failed || findRequest_ != request) return FinishFind(answer);
    if (GetTickCount() - started > kFindWaitMs) return false;
    const HANDLE signal = renderer_.TextSignal();
    MsgWaitForMultipleObjects(1, &signal, FALSE, 50, QS_PAINT);
    ShowProgress();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&msg);
  }
}

void ReaderTools::ShowProgress() {
  const FindProgress progress = renderer_.Progress();
  if (findRequest_ && progress.id == findRequest_) {
    SetNote(kProgressNote,
            L"Searching page " + Grouped(progress.page + 1) + L" of " + Grouped(progress.total) + L"\u2026");
  }
}

void ReaderTools::CancelFind() {
  if (!findRequest_) return;
  renderer_.CancelFind();
  findRequest_ = 0;
  SetNote(kProgressNote, L"");
}

void ReaderTools::FindFromField(bool forward) {
  // The answer comes with the text message; the window goes on meanwhile.
  uint32_t request = 0;
  if (window_ && viewer_.HasDocument()) StartFind(forward, request);
}

bool ReaderTools::StartFind(bool forward, uint32_t& request) {
  request = 0;
  const std::wstring query = TextOf(findBox_);
  if (query.empty()) {
    CancelFind();
    SetNote(kResultNote, L"");
    return false;
  }
  if (FoldCase(query) != FoldCase(query_)) {
    CancelFind();
    query_ = query;
    matches_.clear();
    current_ = {};
  } else if (findRequest_ && forward == findForward_) {
    // Asked again while it runs: the same search goes on.
    request = findRequest_;
    return true;
  }
  CancelFind();
  findForward_ = forward;
  findHadCurrent_ = current_.page >= 0;
  const int count = viewer_.PageCount();
  int start = CurrentPage();
  if (findHadCurrent_) {
    const auto& matches = MatchesOf(current_.page);
    const int next = current_.index + (forward ? 1 : -1);
    if (next >= 0 && next < int(matches.size())) {
      current_.index = next;
      SetNote(kResultNote, L"");
      ShowMatch();
      return true;
    }
    findOrigin_ = current_.page;
    start = (current_.page + (forward ? 1 : count - 1)) % count;
  } else {
    findOrigin_ = start;
  }
  TextJob job;
  job.generation = generation_;
  job.find = true;
  job.page = uint32_t(start);
  job.count = uint32_t(count);
  job.forward = forward;
  job.query = query_;
  request = findRequest_ = renderer_.RequestText(std::move(job));
  SetNote(kResultNote, L"");
  ShowProgress();
  return true;
}

bool ReaderTools::FinishFind(const TextAnswer& answer) {
  if (answer.job.id != findRequest_) return false;
  findRequest_ = 0;
  SetNote(kProgressNote, L"");
  if (answer.job.generation != generation_) return false;
  if (answer.failed) {
    SetNote(kResultNote, answer.tooLarge ? kTextTooLarge : kFindFailed);
    return false;
  }
  if (answer.tooLargePages) SetNote(kRefusalNote, kTextTooLarge);
  // Pages given up on are named beside the result, so that "Not found" is not taken as sure.
  const std::wstring skipped =
      answer.skipped ? L" (" + Grouped(answer.skipped) + (answer.skipped == 1 ? L" page" : L" pages") + L" skipped)"
                     : L"";
  const int page = answer.foundPage;
  if (page < 0 || page >= viewer_.PageCount()) {
    current_ = {};
    SetNote(kResultNote, kNotFound + skipped);
    if (window_) InvalidateRect(window_, nullptr, FALSE);
    return false;
  }
  PageText text;
  text.Decode(answer.text.data(), answer.text.size(), uint32_t(viewer_.PageCount()));
  textPending_.erase(page);
  Keep(page, std::move(text));
  const auto& matches = MatchesOf(page);
  if (matches.empty()) {
    SetNote(kResultNote, kNotFound + skipped);
    return false;
  }
  current_ = {page, findForward_ ? 0 : int(matches.size()) - 1};
  const bool wrapped = findHadCurrent_ ? (findForward_ ? page <= findOrigin_ : page >= findOrigin_)
                                       : (findForward_ ? page < findOrigin_ : page > findOrigin_);
  SetNote(kResultNote, (wrapped ? std::wstring(kWrapped) : std::wstring()) + skipped);
  ShowMatch();
  return true;
}

void ReaderTools::ShowMatch() {
  if (current_.page < 0 || !HeldText(current_.page)) return;
  const auto& matches = MatchesOf(current_.page);
  if (current_.index >= int(matches.size())) return;
  auto boxes = HeldText(current_.page)->Boxes(matches[current_.index]);
  if (boxes.empty()) return;
  for (TextBox& box : boxes) box = TurnedBox(current_.page, box);
  const PageLayout& layout = viewer_.Layout();
  const PageBox& page = layout.Box(current_.page);
  const double ppp = layout.PixelsPerPoint();
  const int top = page.y + int(boxes.front().y0 * ppp), bottom = page.y + int(std::ceil(boxes.back().y1 * ppp));
  const int left = page.x + int(boxes.front().x0 * ppp), right = page.x + int(std::ceil(boxes.front().x1 * ppp));
  const RECT area = viewer_.PagesArea();
  const int height = area.bottom - area.top, width = area.right - area.left;
  int y = viewer_.ScrollY(), x = viewer_.ScrollX();
  // A third down the view, but not above its page's top: the page box then names the page
  // of the match.
  if (top < y || bottom > y + height) y = std::max(top - height / 3, std::min(page.y, top));
  if (left < x || right > x + width) x = left - width / 3;
  viewer_.ScrollTo(x, y);
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

void ReaderTools::SetNote(NoteKind kind, std::wstring text) {
  notes_[kind] = std::move(text);
  ShowNote();
}

void ReaderTools::ClearNotes() {
  for (int kind = kProgressNote; kind < kDamageNote; ++kind) notes_[kind].clear();
  ShowNote();
}

// One note beside the find field, the first that has something to say: a search's progress
// while it runs (what the user waits for now), then the result of the last find, then a
// refusal (a page's text too large to search), and the document's damage last, which stays
// true as long as the document is shown and comes back whenever nothing newer is to be said.
std::wstring ReaderTools::Note() const {
  for (const std::wstring& note : notes_) {
    if (!note.empty()) return note;
  }
  return viewer_.Damaged() ? kDamaged : std::wstring();
}

void ReaderTools::ShowNote() {
  const std::wstring note = Note();
  SetTextIfChanged(note_, note);
  if (!note_) return;
  // A window too narrow to show a find note beside the field shows it under the field; the
  // damaged note stays put, not over the pages for as long as the document is shown.
  RECT room{};
  GetClientRect(note_, &room);
  if (!note.empty() && note != kDamaged && room.right < 90) {
    RECT field;
    GetWindowRect(findBox_, &field);
    POINT below{field.left, field.bottom + 2};
    ScreenToClient(window_, &below);
    ShowTip(note, POINT{below.x - 12, below.y - 20});
  } else if (!tipText_.empty()) {
    ShowTip(L"", POINT{0, 0});
  }
}

}  // namespace pdfview
