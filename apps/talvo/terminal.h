// The command-line host's user interface: console lines on standard output; message
// boxes, questions and the progress bar on standard error; Ctrl+C as the Escape key.
#pragma once

namespace talvo_app {

enum class Answer { ask, yes, no };

// Wires the host's user interface to the terminal. `answer` decides questions when
// standard input is not a terminal (or always, when not `ask`).
void setUpTerminal(Answer answer);

}  // namespace talvo_app
