// The control's identifiers and interfaces as the component implements them.
// Declared here on their own, slot by slot, so that a host's declarations and
// these can be checked against each other.
#pragma once

#include <ocidl.h>
#include <oleidl.h>
#include <windows.h>

namespace mipv {

// {EF347A62-BA21-42E4-94A0-1C0A6D7FDFE7}
inline constexpr CLSID CLSID_PageView = {
    0xEF347A62, 0xBA21, 0x42E4, {0x94, 0xA0, 0x1C, 0x0A, 0x6D, 0x7F, 0xDF, 0xE7}};
// {F958524A-8422-4B07-B69E-199F2421ED89}
inline constexpr IID IID_IMiDocView = {
    0xF958524A, 0x8422, 0x4B07, {0xB6, 0x9E, 0x19, 0x9F, 0x24, 0x21, 0xED, 0x89}};
// {01C4414A-D123-4BC7-A1FA-64E376C01655}
inline constexpr IID IID_IMiSelectableItem = {
    0x01C4414A, 0xD123, 0x4BC7, {0xA1, 0xFA, 0x64, 0xE3, 0x76, 0xC0, 0x16, 0x55}};
// {F6379198-3B20-461A-B3A9-191945752557}
inline constexpr IID IID_IMiSelectableImage = {
    0xF6379198, 0x3B20, 0x461A, {0xB3, 0xA9, 0x19, 0x19, 0x45, 0x75, 0x25, 0x57}};
// {D4073843-A58A-469A-A8E2-CFF3FF77EE4E}
inline constexpr IID IID_IDocumentObject = {
    0xD4073843, 0xA58A, 0x469A, {0xA8, 0xE2, 0xCF, 0xF3, 0xFF, 0x77, 0xEE, 0x4E}};
// {9028B775-EC59-4118-862A-EFDEAF5955A4}
inline constexpr IID DIID_PageViewEvents = {
    0x9028B775, 0xEC59, 0x4118, {0x86, 0x2A, 0xEF, 0xDE, 0xAF, 0x59, 0x55, 0xA4}};

// The control's dispatch ids.
enum : DISPID {
  DISPID_DocumentObject = 1,
  DISPID_FileName = 2,
  DISPID_PageNum = 3,
  DISPID_PageCount = 4,
  DISPID_FitMode = 10,
};

// Event ids; every event has no arguments.
enum Event : DISPID {
  EventFitModeChanged = 1,
  EventScaleChanged = 2,
  EventSelectionChanged = 3,
  EventPageChanged = 4,
  EventPageCountChanged = 5,
  EventCurPageNumChanged = 6,
  EventVisibleRectChanged = 7,
};

// 0 means a fixed scale is in force.
enum FitMode : LONG { FitNone = 0, FitWidth = 1, FitHeight = 2, FitWindow = 3, FitContent = 4 };

// Slots count QueryInterface as 0; IDispatch ends at 6.
struct IMiDocView : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_DocumentObject(IDispatch** document) = 0;           // 7
  virtual HRESULT STDMETHODCALLTYPE get_FileName(BSTR* name) = 0;                           // 8
  virtual HRESULT STDMETHODCALLTYPE put_FileName(BSTR name) = 0;                            // 9
  virtual HRESULT STDMETHODCALLTYPE get_PageNum(LONG* page) = 0;                            // 10
  virtual HRESULT STDMETHODCALLTYPE put_PageNum(LONG page) = 0;                             // 11
  virtual HRESULT STDMETHODCALLTYPE get_PageCount(LONG* count) = 0;                         // 12
  virtual HRESULT STDMETHODCALLTYPE get_FitMode(LONG* mode) = 0;                            // 13
  virtual HRESULT STDMETHODCALLTYPE put_FitMode(LONG mode) = 0;                             // 14
  virtual HRESULT STDMETHODCALLTYPE GetScale(double* scaleX, double* scaleY) = 0;           // 15
  virtual HRESULT STDMETHODCALLTYPE GetPageSize(LONG page, LONG* width, LONG* height) = 0;  // 16
  virtual HRESULT STDMETHODCALLTYPE GetPageResolution(LONG page, double* dpiX,
                                                      double* dpiY) = 0;      // 17
  virtual HRESULT STDMETHODCALLTYPE get_PageText(LONG page, BSTR* text) = 0;  // 18
  virtual HRESULT STDMETHODCALLTYPE GetScrollPosition(LONG* x, LONG* y) = 0;  // 19
  virtual HRESULT STDMETHODCALLTYPE ScrollTo(LONG x, LONG y) = 0;             // 20
  virtual HRESULT STDMETHODCALLTYPE GetVisibleRect(LONG* left, LONG* top, LONG* right,
                                                   LONG* bottom) = 0;               // 21
  virtual HRESULT STDMETHODCALLTYPE get_BackColor(OLE_COLOR* color) = 0;            // 22
  virtual HRESULT STDMETHODCALLTYPE SetScale(double scaleX, double scaleY) = 0;     // 23
  virtual HRESULT STDMETHODCALLTYPE put_BackColor(OLE_COLOR color) = 0;             // 24
  virtual HRESULT STDMETHODCALLTYPE get_SelectedPage(LONG* page) = 0;               // 25
  virtual HRESULT STDMETHODCALLTYPE NextPage() = 0;                                 // 26
  virtual HRESULT STDMETHODCALLTYPE PreviousPage() = 0;                             // 27
  virtual HRESULT STDMETHODCALLTYPE get_TextSelection(IDispatch** selection) = 0;   // 28
  virtual HRESULT STDMETHODCALLTYPE get_HasDocument(VARIANT_BOOL* open) = 0;        // 29
  virtual HRESULT STDMETHODCALLTYPE get_ImageSelection(IDispatch** selection) = 0;  // 30
  virtual HRESULT STDMETHODCALLTYPE Refresh() = 0;                                  // 31
  virtual HRESULT STDMETHODCALLTYPE SelectPage(LONG page) = 0;                      // 32
};

struct IMiSelectableItem : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE CopyToClipboard() = 0;              // 7
  virtual HRESULT STDMETHODCALLTYPE get_SelectionText(BSTR* text) = 0;  // 8
};

struct IMiSelectableImage : public IDispatch {
  // replace: 1 empties the clipboard first, 0 adds to what it holds.
  // keepDepth: 1 keeps the page's depth, 0 converts to 24-bit colour.
  virtual HRESULT STDMETHODCALLTYPE CopyToClipboard(LONG replace, LONG keepDepth) = 0;  // 7
};

struct IDocumentObject : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_PageCount(LONG* count) = 0;                         // 7
  virtual HRESULT STDMETHODCALLTYPE get_FileName(BSTR* name) = 0;                           // 8
  virtual HRESULT STDMETHODCALLTYPE GetPageSize(LONG page, LONG* width, LONG* height) = 0;  // 9
  virtual HRESULT STDMETHODCALLTYPE GetPageResolution(LONG page, double* dpiX,
                                                      double* dpiY) = 0;                // 10
  virtual HRESULT STDMETHODCALLTYPE get_PageText(LONG page, BSTR* text) = 0;            // 11
  virtual HRESULT STDMETHODCALLTYPE get_PageHasText(LONG page, VARIANT_BOOL* has) = 0;  // 12
  virtual HRESULT STDMETHODCALLTYPE get_PageBitsPerPixel(LONG page, LONG* bits) = 0;    // 13
  virtual HRESULT STDMETHODCALLTYPE get_DefaultPrinter(BSTR* name) = 0;                 // 14
  virtual HRESULT STDMETHODCALLTYPE get_IsOpen(VARIANT_BOOL* open) = 0;                 // 15
  virtual HRESULT STDMETHODCALLTYPE PrintDocument(LONG first, LONG last, LONG copies, BSTR printer,
                                                  LONG reserved1, LONG reserved2,
                                                  LONG reserved3) = 0;  // 16
};

}  // namespace mipv
