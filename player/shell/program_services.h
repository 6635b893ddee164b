#pragma once
// The services the player installs for itself before its start-up runs:
// the icon library beside the program (pictures of levels, categories,
// languages and sources), the stored interface language (messages shown
// before the main window exists), and the Qt file dialog through which a
// wave load that names no file lets the learner choose one. main() calls
// this, and so do the tests that check what the program wires.

namespace orv::shell {

void InstallProgramServices();

}  // namespace orv::shell
