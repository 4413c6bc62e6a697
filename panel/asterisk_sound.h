#pragma once
// The sound that ends an update: the system's "SystemAsterisk" on Windows, the desktop theme's
// "dialog-information" elsewhere, played without waiting; a plain beep where neither plays.

struct ca_context;

namespace panel {

class AsteriskSound {
 public:
  AsteriskSound() = default;
  ~AsteriskSound();
  AsteriskSound(const AsteriskSound&) = delete;
  AsteriskSound& operator=(const AsteriskSound&) = delete;

  void Play();
  // How often Play ran; the sound itself cannot be observed.
  int PlayCount() const { return m_played; }

 private:
  ca_context* m_context = nullptr;  // created at the first Play
  bool m_contextFailed = false;
  int m_played = 0;
};

}  // namespace panel
