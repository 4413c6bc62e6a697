#include "panel/asterisk_sound.h"

#include <QApplication>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// mmsystem.h needs windows.h first.
#include <mmsystem.h>
#elif defined(VELMOR_HAVE_CANBERRA)
#include <canberra.h>
#endif

namespace panel {

AsteriskSound::~AsteriskSound() {
#ifdef VELMOR_HAVE_CANBERRA
  if (m_context) ca_context_destroy(m_context);
#endif
}

void AsteriskSound::Play() {
  ++m_played;
#ifdef _WIN32
  // SND_ASYNC returns at once; SND_NODEFAULT keeps a missing sound silent for the beep below.
  if (PlaySoundW(L"SystemAsterisk", nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT)) return;
#elif defined(VELMOR_HAVE_CANBERRA)
  if (!m_context && !m_contextFailed) m_contextFailed = ca_context_create(&m_context) != CA_SUCCESS;
  // ca_context_play returns at once; the sound plays on its own.
  if (m_context && ca_context_play(m_context, 0, CA_PROP_EVENT_ID, "dialog-information", nullptr) ==
                       CA_SUCCESS) {
    return;
  }
#endif
  QApplication::beep();
}

}  // namespace panel
