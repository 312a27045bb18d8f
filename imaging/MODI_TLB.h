// The imaging component as the program sees it: class and interface identifiers,
// the vtable slots the program calls, and the dispatch ids of the control's
// properties. Slots the program never calls are declared as placeholders only
// to keep the named ones in their places.
#pragma once

#include <oaidl.h>
#include <objbase.h>

namespace MODI_TLB {

// {EF347A62-BA21-42E4-94A0-1C0A6D7FDFE7}
inline constexpr CLSID CLSID_MiDocView = {
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
inline constexpr IID DIID_IMiDocViewEvents = {
    0x9028B775, 0xEC59, 0x4118, {0x86, 0x2A, 0xEF, 0xDE, 0xAF, 0x59, 0x55, 0xA4}};

// Dispatch ids of the control's properties.
enum : DISPID {
  DISPID_DocumentObject = 1,
  DISPID_FileName = 2,
  DISPID_PageNum = 3,
  DISPID_PageCount = 4,
  DISPID_FitMode = 10,
};

// Dispatch ids of the control's events.
enum : DISPID {
  DISPID_OnFitmodeChanged = 1,
  DISPID_OnScaleChanged = 2,
  DISPID_OnSelectionChanged = 3,
  DISPID_OnPageChanged = 4,
  DISPID_OnPageCountChanged = 5,
  DISPID_OnCurPageNumChanged = 6,
  DISPID_OnVisibleRectChanged = 7,
};

enum FitMode : LONG { FitWidth = 1, FitHeight = 2, FitWindow = 3, FitText = 4 };

// Slot 0 is QueryInterface; IDispatch ends at slot 6.
struct IMiDocView : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE slot7_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot8_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot9_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot10_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot11_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot12_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot13_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot14_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot15_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot16_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot17_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot18_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot19_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot20_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot21_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot22_() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetScale(double scaleX, double scaleY) = 0;  // 23
  virtual HRESULT STDMETHODCALLTYPE slot24_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot25_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot26_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot27_() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_TextSelection(IDispatch** selection) = 0;  // 28
  virtual HRESULT STDMETHODCALLTYPE slot29_() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ImageSelection(IDispatch** selection) = 0;  // 30
  virtual HRESULT STDMETHODCALLTYPE slot31_() = 0;
  virtual HRESULT STDMETHODCALLTYPE SelectPage(LONG page) = 0;  // 32
};

struct IMiSelectableItem : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE CopyToClipboard() = 0;               // 7
  virtual HRESULT STDMETHODCALLTYPE get_SelectionText(BSTR* text) = 0;  // 8
};

struct IMiSelectableImage : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE CopyToClipboard(LONG a, LONG b) = 0;  // 7
};

struct IDocumentObject : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE slot7_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot8_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot9_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot10_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot11_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot12_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot13_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot14_() = 0;
  virtual HRESULT STDMETHODCALLTYPE slot15_() = 0;
  virtual HRESULT STDMETHODCALLTYPE PrintDocument(LONG first, LONG last, LONG copies,
                                                  BSTR printer, LONG reserved1, LONG reserved2,
                                                  LONG reserved3) = 0;  // 16
};

}  // namespace MODI_TLB
