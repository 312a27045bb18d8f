#include "component/Automation.h"

#include "component/Clipboard.h"
#include "component/DispatchObject.h"
#include "component/PageImage.h"
#include "document/PageReader.h"
#include "component/Printing.h"

namespace mipv {

namespace {

const wchar_t kNothingSelected[] = L"Nothing is selected: select a page first.";

VARIANT_BOOL toVariantBool(bool value) {
  return value ? VARIANT_TRUE : VARIANT_FALSE;
}

class DocumentObject final : public DispatchObject<IDocumentObject, IID_IDocumentObject> {
 public:
  explicit DocumentObject(Document document) : document_(std::move(document)) {}

  HRESULT STDMETHODCALLTYPE get_PageCount(LONG* count) override {
    return run([&] { out(count) = pageCount(); });
  }
  HRESULT STDMETHODCALLTYPE get_FileName(BSTR* name) override {
    return run([&] { out(name) = Bstr(fileName()).release(); });
  }
  HRESULT STDMETHODCALLTYPE GetPageSize(LONG page, LONG* width, LONG* height) override {
    return run([&] {
      SIZE size = document_->pageSize(existingPage(document_.get(), page));
      out(width) = size.cx;
      out(height) = size.cy;
    });
  }
  HRESULT STDMETHODCALLTYPE GetPageResolution(LONG page, double* dpiX, double* dpiY) override {
    return run([&] {
      size_t index = existingPage(document_.get(), page);
      out(dpiX) = document_->dpiX(index);
      out(dpiY) = document_->dpiY(index);
    });
  }
  HRESULT STDMETHODCALLTYPE get_PageText(LONG page, BSTR* text) override {
    return run([&] {
      size_t index = existingPage(document_.get(), page);
      out(text) = Bstr(document_->document.pageText(index)).release();
    });
  }
  HRESULT STDMETHODCALLTYPE get_PageHasText(LONG page, VARIANT_BOOL* has) override {
    return run([&] {
      size_t index = existingPage(document_.get(), page);
      out(has) = toVariantBool(document_->document.page(index).hasText());
    });
  }
  HRESULT STDMETHODCALLTYPE get_PageBitsPerPixel(LONG page, LONG* bits) override {
    return run([&] {
      // As libtiff reads the page's directory, like its decoding.
      mdi::PageReader reader(document_->document, existingPage(document_.get(), page));
      const mdi::ImageFormat& f = reader.format();
      out(bits) = reader.tiff() ? static_cast<LONG>(f.bitsPerSample) * f.samplesPerPixel : 0;
    });
  }
  HRESULT STDMETHODCALLTYPE get_DefaultPrinter(BSTR* name) override {
    return run([&] { out(name) = Bstr(defaultPrinter()).release(); });
  }
  HRESULT STDMETHODCALLTYPE get_IsOpen(VARIANT_BOOL* open) override {
    return run([&] { out(open) = toVariantBool(document_ != nullptr); });
  }
  HRESULT STDMETHODCALLTYPE PrintDocument(LONG first, LONG last, LONG copies, BSTR printer, LONG,
                                          LONG, LONG) override {
    return run([&] {
      printPages(document_.get(), first, last, copies,
                 printer ? std::wstring(printer, SysStringLen(printer)) : std::wstring());
    });
  }

 protected:
  const NamedId* members(size_t& count) const override {
    static const NamedId table[] = {{L"PageCount", 1}, {L"FileName", 2}, {L"PrintDocument", 3}};
    count = std::size(table);
    return table;
  }
  void invoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) override {
    if (id == 1 && isGet(flags)) {
      expectArguments(params, 0);
      setResult(result, pageCount());
    } else if (id == 2 && isGet(flags)) {
      expectArguments(params, 0);
      setResult(result, fileName());
    } else if (id == 3 && isMethod(flags)) {
      // The last three arguments are optional and unused.
      UINT given = params ? params->cArgs : 0;
      if (given < 4 || given > 7) throw DispatchError{DISP_E_BADPARAMCOUNT};
      LONG first = longArgument(params, 0);
      LONG last = longArgument(params, 1);
      LONG copies = longArgument(params, 2);
      printPages(document_.get(), first, last, copies, stringArgument(params, 3));
    } else {
      throw DispatchError{DISP_E_MEMBERNOTFOUND};
    }
  }

 private:
  LONG pageCount() const { return document_ ? static_cast<LONG>(document_->pageCount()) : 0; }
  std::wstring fileName() const { return document_ ? document_->path : std::wstring(); }

  Document document_;
};

class TextSelection final : public DispatchObject<IMiSelectableItem, IID_IMiSelectableItem> {
 public:
  TextSelection(Document document, LONG page) : document_(std::move(document)), page_(page) {}

  HRESULT STDMETHODCALLTYPE CopyToClipboard() override {
    return run([&] { copy(); });
  }
  HRESULT STDMETHODCALLTYPE get_SelectionText(BSTR* text) override {
    return run([&] { out(text) = Bstr(selectionText()).release(); });
  }

 protected:
  const NamedId* members(size_t& count) const override {
    static const NamedId table[] = {{L"CopyToClipboard", 1}, {L"SelectionText", 2}};
    count = std::size(table);
    return table;
  }
  void invoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) override {
    if (id == 1 && isMethod(flags)) {
      expectArguments(params, 0);
      copy();
    } else if (id == 2 && isGet(flags)) {
      expectArguments(params, 0);
      std::u16string text = selectionText();
      setResult(result, std::wstring(text.begin(), text.end()));
    } else {
      throw DispatchError{DISP_E_MEMBERNOTFOUND};
    }
  }

 private:
  std::u16string selectionText() const {
    if (!document_ || page_ < 0) return std::u16string();
    return document_->document.pageText(static_cast<size_t>(page_));
  }
  void copy() const {
    if (!document_ || page_ < 0) throw ComponentError(MI_E_NOSELECTION, kNothingSelected);
    copyTextToClipboard(selectionText());
  }

  Document document_;
  LONG page_;
};

class ImageSelection final : public DispatchObject<IMiSelectableImage, IID_IMiSelectableImage> {
 public:
  ImageSelection(Document document, LONG page) : document_(std::move(document)), page_(page) {}

  HRESULT STDMETHODCALLTYPE CopyToClipboard(LONG replace, LONG keepDepth) override {
    return run([&] { copy(replace, keepDepth); });
  }

 protected:
  const NamedId* members(size_t& count) const override {
    static const NamedId table[] = {{L"CopyToClipboard", 1}};
    count = std::size(table);
    return table;
  }
  void invoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT*) override {
    if (id != 1 || !isMethod(flags)) throw DispatchError{DISP_E_MEMBERNOTFOUND};
    expectArguments(params, 2);
    copy(longArgument(params, 0), longArgument(params, 1));
  }

 private:
  void copy(LONG replace, LONG keepDepth) const {
    if (!document_ || page_ < 0) throw ComponentError(MI_E_NOSELECTION, kNothingSelected);
    if ((replace != 0 && replace != 1) || (keepDepth != 0 && keepDepth != 1))
      throw ComponentError(E_INVALIDARG,
                           L"CopyToClipboard takes 1 or 0 twice: replace the clipboard's "
                           L"content, and keep the page's depth.");
    mdi::PageImage image = mdi::decodePage(document_->document, static_cast<size_t>(page_));
    copyImageToClipboard(image, replace == 1, keepDepth == 1);
  }

  Document document_;
  LONG page_;
};

}  // namespace

framework::ComPtr<IDocumentObject> makeDocumentObject(Document document) {
  return framework::ComPtr<IDocumentObject>::adopt(new DocumentObject(std::move(document)));
}

framework::ComPtr<IMiSelectableItem> makeTextSelection(Document document, LONG page) {
  return framework::ComPtr<IMiSelectableItem>::adopt(new TextSelection(std::move(document), page));
}

framework::ComPtr<IMiSelectableImage> makeImageSelection(Document document, LONG page) {
  return framework::ComPtr<IMiSelectableImage>::adopt(
      new ImageSelection(std::move(document), page));
}

}  // namespace mipv
