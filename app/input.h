#pragma once

// Key handlers, by Allegro key code. The mouse position is the one polled at the start of
// the loop iteration that received the key.
void HandleKeyDown(int keycode, int mouseX, int mouseY);
void HandleKeyUp(int keycode);

// Clears every held-key flag, as if each key had been released.
void ReleaseHeldKeys();
