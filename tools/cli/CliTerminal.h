// Whether a stream of the CLI is a terminal; each platform answers in its own file.
#pragma once

// True when stderr is shown on a terminal or console (not a file or a pipe).
bool StderrIsTerminal();
