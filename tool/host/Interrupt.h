// Ctrl-C during a run: the first one asks the run to stop at the library's
// next call, so that the summary is still printed; the second ends the
// process at once, as if nothing had been installed.
#pragma once

namespace kvtool {

// Installs the handler for SIGINT. On Linux a blocking read (the prompt's)
// returns early instead of being resumed.
void CatchInterrupt();
// Ctrl-C was pressed, or standard output's reader has gone.
bool Interrupted();

} // namespace kvtool
