#pragma once

namespace platform::ui {

class TextField;

// What a text field tells its delegate about a person's editing; nothing unless overridden.
class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;

    // The person changed the text (typing, deleting, cut, paste, undo, redo); setting the
    // string in code does not count.
    virtual void controlTextDidChange(TextField&) {}
    // The field stopped being edited: it gave up the first-responder role.
    virtual void controlTextDidEndEditing(TextField&) {}
};

}  // namespace platform::ui
