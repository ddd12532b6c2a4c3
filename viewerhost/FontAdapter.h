// Fonts crossing between the framework and a COM control.
//
//   TFontAdapter   one OLE font object per framework font, kept in step with it both ways
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "framework/Graphics.h"

class TFontAdapter final : public IPropertyNotifySink {
 public:
  explicit TFontAdapter(TFont& font);
  ~TFontAdapter();
  TFontAdapter(const TFontAdapter&) = delete;
  TFontAdapter& operator=(const TFontAdapter&) = delete;

  TFont& Font() const { return font_; }
  // The connected OLE font, made on first use; the adapter keeps its own reference, so the
  // caller adds one when it hands the font on.
  IFontDisp* OleFont();
  // The framework font changed: the OLE font follows (nothing before the OLE font exists).
  void FontChanged();
  // True while a change of the OLE font is being copied into the framework font.
  bool Updating() const { return updating_; }
  // Whether `object` is this adapter's OLE font.
  bool IsOleFont(IUnknown* object) const;

  // A new OLE font (IFontDisp) describing `font`, through OleCreateFontIndirect looked up at
  // run time; the caller releases it. Fails with EOleSysError.
  static IFontDisp* CreateOleFont(TFont& font);
  // Copies name, size (cySize / 10000, rounded), weight, character set and styles of an OLE
  // font into `font`. Fails with EOleSysError when `oleFont` is not a font.
  static void ApplyOleFont(IUnknown* oleFont, TFont& font);

  // IUnknown: the adapter's lifetime belongs to its owner, never to the OLE font's reference.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // IPropertyNotifySink: a property of the OLE font changed.
  STDMETHODIMP OnChanged(DISPID id) override;
  STDMETHODIMP OnRequestEdit(DISPID id) override;

 private:
  void CopyToOleFont();
  void CopyFromOleFont(DISPID id);
  void Disconnect();

  TFont& font_;
  IFont* oleFont_ = nullptr;
  IFontDisp* fontDisp_ = nullptr;
  DWORD cookie_ = 0;
  ULONG refCount_ = 0;
  bool updating_ = false;
};
