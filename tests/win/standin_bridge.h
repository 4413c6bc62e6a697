#pragma once
/* The stand-in driver's two halves meet here: the kernel side (C, ddk headers) calls the
 * simulator's device model (C++, Win32 headers), which cannot share a translation unit.
 * Test-only: the stand-in ships nowhere. */

#ifdef __cplusplus
extern "C" {
#endif

/* Largest control command and answer, bytes. */
#define STANDIN_MAX_MESSAGE 16384

/* Makes the device model and starts watching its presence; `set_present` is called with 1 or
 * 0 whenever the device object should appear or go away. Zero on failure. */
int StandinStart(void (*set_present)(int present));

/* Whether the device object opens now. */
int StandinIsPlugged(void);

/* One control request frame of `size` bytes (6..32); `reply` is null or 32 bytes to fill.
 * Non-zero when the request completed. */
int StandinControl(const unsigned char* frame, unsigned long size, unsigned char* reply);

/* How long to hold back the answer of the request just served: 0 not at all, -1 until it is
 * cancelled (`wire drop`), otherwise milliseconds (`wire delay`). */
long StandinHoldMs(void);

/* Calls `run(token)` once, `ms` milliseconds from now, on a thread of its own. */
void StandinLater(unsigned long ms, void (*run)(unsigned long token), unsigned long token);

/* One command of the stand-in (the simulator's control words, joined by newlines). Writes the
 * answer text, not terminated, to `answer` and its length to `answer_size`. Non-zero when the
 * command was done. */
int StandinCommand(const char* command, unsigned long size, char* answer, unsigned long capacity,
                   unsigned long* answer_size);

#ifdef __cplusplus
}
#endif
