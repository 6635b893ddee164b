#pragma once
// Who is logged in is held by the main frame's state; the environment store
// reads and writes that name (setting 36) through this interface, so that
// the store builds and tests without the frame. The owner of the name
// installs its provider for as long as it lives; none is installed at
// start.

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
