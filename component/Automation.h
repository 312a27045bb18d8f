// The objects the control hands out: the document object and the two views
// of the selection. Each keeps the document it was made for, so it stays
// valid, and unchanged, when the control loads another file.
#pragma once

#include <memory>

#include "component/Interfaces.h"
#include "component/LoadedDocument.h"
#include "framework/ComPtr.h"

namespace mipv {

using Document = std::shared_ptr<const LoadedDocument>;

framework::ComPtr<IDocumentObject> makeDocumentObject(Document document);
// `page` is the selected page, -1 for none.
framework::ComPtr<IMiSelectableItem> makeTextSelection(Document document, LONG page);
framework::ComPtr<IMiSelectableImage> makeImageSelection(Document document, LONG page);

}  // namespace mipv
