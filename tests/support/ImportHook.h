// Puts a function of the test's own in place of one that this program imports from a DLL, for as
// long as the object lives, so that what the program hands to the system can be read on its way
// there (the replacement passes the call on through Original()).
#pragma once

namespace testing_support {

class ImportHook {
 public:
  ImportHook(const char* dll, const char* function, void* replacement);
  ~ImportHook();
  ImportHook(const ImportHook&) = delete;
  ImportHook& operator=(const ImportHook&) = delete;

  // False when the program does not import the function from that DLL.
  bool Installed() const { return slot_ != nullptr; }
  void* Original() const { return original_; }

 private:
  void** slot_ = nullptr;
  void* original_ = nullptr;
};

}  // namespace testing_support
