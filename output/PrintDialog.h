// `PRNT`: the print dialog, kept for the run, and the printers it offers.
#pragma once

namespace output {

class TPrintDialog {};

}  // namespace output
