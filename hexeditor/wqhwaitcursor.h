#pragma once
// Shows the hourglass on an editor for the lifetime of the object: WaitCursor
// when made, OldCursor when it goes, also when an exception passes.
class TCustomWQHexEditor;

class TWQHWaitCursor {
public:
    explicit TWQHWaitCursor(TCustomWQHexEditor& Editor);
    ~TWQHWaitCursor();
    TWQHWaitCursor(const TWQHWaitCursor&) = delete;
    TWQHWaitCursor& operator=(const TWQHWaitCursor&) = delete;

private:
    TCustomWQHexEditor& FEditor;
};
