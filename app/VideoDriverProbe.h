// Trying SDL's Wayland video driver in a throwaway process before the player relies on it.
#pragma once
#include <string>

// SDL's Wayland driver can fault inside its start-up (for one, under a compositor that
// offers no input seat), which would leave the player waiting on a report nobody can
// answer. When SDL would use that driver (SDL_VIDEODRIVER=wayland, or no driver named and
// only WAYLAND_DISPLAY set), it is started first in a child process. True when the player may go on: the driver works, or
// it did not and X11 (DISPLAY) is there to play through instead, in which case the
// environment now names x11 and `note` says so. False with the reason in `note` when
// neither can serve.
bool ChooseWorkingVideoDriver(std::string& note);
