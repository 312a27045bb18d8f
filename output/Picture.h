// `Image1`: the hidden picture holder that carries a page bitmap while it is saved.
#pragma once

namespace output {

class TImage {};

}  // namespace output
