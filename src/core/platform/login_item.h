#pragma once

namespace quillon {

// Whether the program starts by itself when the user logs in. Off until the user turns
// it on; the platform keeps the answer (a login item, an autostart entry), so it is read
// back from there rather than remembered in the program's own files.
class LoginItem {
 public:
  LoginItem() = default;
  LoginItem(const LoginItem&) = delete;
  LoginItem& operator=(const LoginItem&) = delete;
  virtual ~LoginItem() = default;

  virtual bool isEnabled() = 0;
  // False when the platform refused the change; isEnabled then still tells the truth.
  virtual bool setEnabled(bool enabled) = 0;
};

}  // namespace quillon
