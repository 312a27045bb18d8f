// A read-only IStream over a reader byte source: how a page's bytes reach WIC.
#pragma once

#include <objidl.h>

#include <memory>

#include "component/reader/Document.h"
#include "framework/ComPtr.h"

namespace mdi {

framework::ComPtr<IStream> streamOver(std::shared_ptr<const ByteSource> source);

}  // namespace mdi
