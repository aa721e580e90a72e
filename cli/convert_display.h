#pragma once
// The terminal side of a conversion batch: the progress bar on standard error, the result
// lines on standard output, and the frame-rate question.

#include <string>

class ConvertDisplay {
  public:
    explicit ConvertDisplay(bool bar) : bar_(bar) {}
    ~ConvertDisplay() { clearBar(); }
    ConvertDisplay(const ConvertDisplay&) = delete;
    ConvertDisplay& operator=(const ConvertDisplay&) = delete;

    // Redraws the bar: `fraction` of the batch is done (0..1); `label` says what runs.
    void draw(double fraction, const std::string& label);

    // One result line on standard output.
    void result(const std::string& line);

    // The frame-rate question about `source`, on standard error; the answer is read by
    // the caller (answerOf).
    void ask(const std::string& source);

    // The note shown instead of the question when nobody can answer it.
    void warn(const std::string& source);

    void clearBar();

  private:
    bool bar_;
    bool shown_ = false;
};

// The answer a line typed at the question gives: 'y', 'n', or 0 for neither.
char answerOf(std::string line);
