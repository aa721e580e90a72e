#pragma once
// Which of its four faces a skinned button shows.

enum class ButtonFace { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3 };

// First match wins: disabled; pressed or holding the keyboard focus; under the mouse;
// otherwise the normal face.
inline ButtonFace chooseButtonFace(bool disabled, bool pressed, bool focused, bool hovering) {
    if (disabled) return ButtonFace::Disabled;
    if (pressed || focused) return ButtonFace::Pressed;
    if (hovering) return ButtonFace::Hover;
    return ButtonFace::Normal;
}
