#pragma once
// Who is logged in is held by the main frame's state; the environment store
// reads and writes that name (setting 36) through this interface, so that
// the store builds and tests without the frame. This is the one interface
// for that name: the frame state implements it, and the application
// installs the frame's state for as long as its main frame lives. None is
// installed at start (the store then answers "Default" and drops writes).

#include <string>

namespace orv {

class CurrentUserNameProvider {
 public:
  virtual ~CurrentUserNameProvider() = default;
  // The logged-in name as the frame holds it (empty: the default user).
  virtual std::string currentUserName() const = 0;
  // Stores a name; the default user is stored as an empty name.
  virtual void setCurrentUserName(const std::string& name) = 0;
};

// The provider in use (not owned), or nullptr when none is installed.
CurrentUserNameProvider* currentUserNameProvider();
// Installs `provider` (nullptr removes it) and answers the previous one.
CurrentUserNameProvider* setCurrentUserNameProvider(CurrentUserNameProvider* provider);

}  // namespace orv
