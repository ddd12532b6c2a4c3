// The scrolling container's frame: platform styles or a bevel in the non-client area.
#include "effects/LMDScrollBox.h"

TLMDScrollBox::TLMDScrollBox(TComponent* owner) : TScrollingWinControl(owner), bevel_(bmWindows) {
  SetBounds(0, 0, 185, 41);
  bevel_.OnChange = [this](TObject*) {
    if (HandleAllocated()) RecreateWnd();
  };
}

TPersistent* TLMDScrollBox::NestedProperty(std::string_view name) {
  if (name == "Bevel") return &bevel_;
  return TScrollingWinControl::NestedProperty(name);
}

void TLMDScrollBox::CreateParams(TCreateParams& params) {
  TScrollingWinControl::CreateParams(params);
  params.Style |= WS_CLIPCHILDREN;
  if (bevel_.Mode() == bmWindows) {
    // Every platform this runs on draws 3D controls; the look then follows Ctl3D alone.
    if (Ctl3D()) params.ExStyle |= WS_EX_CLIENTEDGE;
    else params.Style |= WS_BORDER;
  }
  params.WindowClass.style &= ~static_cast<UINT>(CS_HREDRAW | CS_VREDRAW);
}

void TLMDScrollBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_NCCALCSIZE:
      if (bevel_.Mode() != bmWindows) {
        DefaultHandler(m);
        auto* r = reinterpret_cast<RECT*>(m.LParam);  // the first rectangle of either form
        int inset = bevel_.Inset();
        InflateRect(r, -inset, -inset);
        if (r->right < r->left) r->right = r->left;
        if (r->bottom < r->top) r->bottom = r->top;
        return;
      }
      break;
    case WM_NCPAINT:
      if (bevel_.Mode() != bmWindows) {
        DefaultHandler(m);
        HDC dc = GetWindowDC(Handle());
        RECT r;
        GetWindowRect(Handle(), &r);
        OffsetRect(&r, -r.left, -r.top);
        bevel_.PaintBevel(dc, r);
        ReleaseDC(Handle(), dc);
        return;
      }
      break;
    case CM_CTL3DCHANGED:
      if (HandleAllocated()) RecreateWnd();
      return;
    default:
      break;
  }
  TScrollingWinControl::WndProc(m);
}
