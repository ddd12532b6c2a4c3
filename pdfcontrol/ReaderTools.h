// What a reader uses beside the pages, added to the viewer window as its extension:
//   ReaderTools - the toolbar (page buttons, the page box with "of N", the zoom box, the find
//                 field with its buttons and note), going to a page, zoom in percent, finding
//                 with highlights, selecting and copying text, and links.
//   SavedView   - a document's place, zoom, turn and outline pane, which the control keeps
//                 per document.
// The toolbar also toggles the outline pane (F9), turns the view (Ctrl+Shift+Plus and
// Ctrl+Shift+Minus) and prints (Ctrl+P).
// Page text comes from the worker through the renderer client, in the background.
#pragma once

#include "pdfcontrol/OutlinePane.h"
#include "pdfcontrol/PageText.h"
#include "pdfcontrol/RendererClient.h"
#include "pdfcontrol/TextCache.h"
#include "pdfcontrol/ViewerWindow.h"

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace pdfview {

struct SavedView {
  int page = 0;          // from 0
  double offset = 0;     // rows below the page's top, as a share of its height
  double zoom = 1;       // as the viewer window keeps it (1 fits the width)
  int quarterTurns = 0;  // clockwise
  bool outlineShown = false;
  int outlineWidth = OutlinePane::kDefaultWidth;
};

class ReaderTools final : public ViewerWindow::Extension {
 public:
  static constexpr int kBarHeight = 26;
  // Texts of the find note.
  static constexpr const wchar_t* kNotFound = L"Not found";
  static constexpr const wchar_t* kWrapped = L"Wrapped around";
  static constexpr const wchar_t* kFindFailed = L"Text could not be read";
  static constexpr const wchar_t* kTextTooLarge = L"This page's text is too large to search";
  static constexpr const wchar_t* kDamaged = L"This document is damaged; the pages that could be read are shown.";
  // How long the automation's find waits for its answer, painting meanwhile; past it, it
  // answers false and the search goes on, showing its match when it comes.
  static constexpr DWORD kFindWaitMs = 300000;
  // What the control holds of a document's text, whatever its length.
  static constexpr size_t kTextBudget = 16u << 20;

  ReaderTools(ViewerWindow& viewer, RendererClient& renderer);
  ~ReaderTools() override;
  ReaderTools(const ReaderTools&) = delete;
  ReaderTools& operator=(const ReaderTools&) = delete;

  // Makes the toolbar, once the viewer's window exists.
  void Attach();
  // After the viewer shows a document (or a message instead): the toolbar follows.
  void DocumentChanged();

  int CurrentPage() const;  // from 0
  void GoToPage(int page, double pointsBelowTop = -1);
  // 0 fits the width.
  int ZoomPercent() const;
  void SetZoomPercent(int percent);
  SavedView View() const;
  void Restore(const SavedView& view);
  // Finds the next or previous match and shows it; waits for the worker up to kFindWaitMs.
  bool Find(const std::wstring& text, bool forward);
  // Stops the search in progress, if any.
  void CancelFind();
  // What the note beside the find field shows now.
  std::wstring Note() const;
  std::wstring SelectedText() const;
  // Shows or hides the outline pane; false when the document has no outline.
  bool ToggleOutline();
  const OutlinePane& Outline() const { return outline_; }
  // Turns the view a quarter clockwise (1) or back (-1).
  void Turn(int quarters);
  // Prints pages [first, last] (from 0) to the default printer without a dialog; the reason
  // when it could not, empty when it printed.
  std::wstring Print(int first, int last);
  // Asks with the platform's print dialog and prints; a failure is told in a message box.
  void PrintWithDialog();
  // What a print job is called at the printer.
  void SetDocumentTitle(std::wstring title) { title_ = std::move(title); }
  // Keys that a container's dialog handling would take from the toolbar: true when used.
  bool TranslateKey(const MSG& msg);

#ifdef FOLVANE_TEST_SEAMS
  TextCache& HeldText() { return texts_; }
#endif

  // ViewerWindow::Extension
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  int TopReserve() const override;
  int LeftReserve() const override;
  void PaintOver(HDC dc, int page, const RECT& where, double pixelsPerPoint) override;
  void ViewChanged() override;

 private:
  struct Match {
    int page = -1;
    int index = 0;
  };
  struct Hit {
    int page = -1;
    double x = 0, y = 0;  // points on the page
  };

  static LRESULT CALLBACK FieldProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                    DWORD_PTR data);
  LRESULT FieldMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // Where a child of the bar goes, by its field.
  struct Place {
    HWND ReaderTools::*child;
    RECT rect;
  };
  static std::vector<Place> BarPlaces(int clientWidth);
  std::vector<Place> placed_;  // where each child of the bar was last put
  void Make(HWND ReaderTools::*child, const std::vector<Place>& places, const wchar_t* cls, const wchar_t* text,
            DWORD style, DWORD exStyle, int id);
  void Arrange();
  // What each button says in the tooltip.
  struct Hint {
    HWND ReaderTools::*button;
    const wchar_t* text;
  };
  static const Hint kHints[8];
  void MakeTip();
  // The pointer came over a child of the bar: the tooltip is made when the child has a hint.
  void PointerOverChild(HWND child, UINT mouseMessage);
  void UpdateBar();
  HWND Field(int index) const;
  int FieldIndex(HWND window) const;
  bool HandleKey(HWND from, WPARAM key);
  void Leave(bool backwards);
  void OnCommand(int id, int code);
  void GoToTyped();
  void ApplyTypedZoom();
  void FitPage();

  std::wstring PrintOn(HDC printer, int first, int last, int copies);
  void RequestOutline();
  void TakeOutline(const TextAnswer& answer);
  bool WaitForOutline();
  void PlaceOutline();
  void GoToEntry(int entry);
  void GoToPlace(int page, double pointsBelowTop);
  bool OnOutlineNotify(const NMHDR& header, LRESULT& result);
  TextBox TurnedBox(int page, const TextBox& box) const;
  RECT Placed(const TextBox& box, int page, const RECT& where, double ppp) const;

  void RequestVisibleText();
  void CollectText();
  void Keep(int page, PageText text);
  PageText* HeldText(int page);
  const std::vector<TextRange>& MatchesOf(int page);
  void FindFromField(bool forward);
  bool StartFind(bool forward, uint32_t& request);
  bool FinishFind(const TextAnswer& answer);
  void ShowMatch();
  void ShowProgress();
  // The kinds of note, highest first (see Note).
  enum NoteKind { kProgressNote, kResultNote, kRefusalNote, kDamageNote, kNoteKinds };
  void SetNote(NoteKind kind, std::wstring text);
  void ClearNotes();
  void ShowNote();

  Hit HitAt(POINT client, int page = -1) const;
  const PageLink* LinkAt(POINT client) const;
  void Follow(const PageLink& link);
  void SelectOnPage(int page, TextRange range);
  void Copy() const;
  void ShowMenu(POINT screen);
  void ShowTip(const std::wstring& text, POINT client);

  ViewerWindow& viewer_;
  RendererClient& renderer_;
  HWND window_ = nullptr;
  HWND prev_ = nullptr, next_ = nullptr, pageBox_ = nullptr, pageCount_ = nullptr;
  HWND zoomBox_ = nullptr, findBox_ = nullptr, findNext_ = nullptr, findPrev_ = nullptr;
  HWND note_ = nullptr, tip_ = nullptr;
  HWND outlineButton_ = nullptr, turnLeft_ = nullptr, turnRight_ = nullptr, print_ = nullptr;
  OutlinePane outline_;
  HBITMAP icons_[4] = {};
  uint32_t outlineRequest_ = 0;
  bool outlinePending_ = false;
  bool draggingBar_ = false;
  int barGrab_ = 0;    // where on the bar it was taken
  int pagesLeft_ = 0;  // the pane's strip the pages were last laid out beside
  std::wstring title_;
  std::wstring tipText_;

  // The document whose text is held.
  uint32_t generation_ = 0;
  TextCache texts_{kTextBudget};
  std::set<int> textPending_;
  std::map<int, std::vector<TextRange>> matches_;
  std::wstring query_;
  Match current_;
  uint32_t findRequest_ = 0;
  bool findForward_ = true;
  bool findHadCurrent_ = false;
  int findOrigin_ = 0;
  std::wstring notes_[kNoteKinds];

  int gotoPage_ = -1, gotoScroll_ = -1;

  int selectionPage_ = -1;
  TextRange selection_;
  bool dragging_ = false;
  Hit anchor_;
  std::wstring pressedLink_;
  bool linkPressed_ = false;
};

}  // namespace pdfview
