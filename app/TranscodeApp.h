#pragma once
// CTranscodeApp: the application object. It shows the main window modally and ends when
// the window closes.

class CTranscodeApp {
  public:
    // Shows the main window; returns the process's exit status.
    int InitInstance();
};
