// The page-view control: the COM object a host creates by class id.
#pragma once

#include <unknwn.h>

namespace mipv {

// Creates a control and answers `iid` on it (the class factory's work).
HRESULT createControl(REFIID iid, void** object);

}  // namespace mipv
