#pragma once
// Answers every message box of a test with the answers given, in order (the last one repeats),
// and keeps what was asked.

#include "shell/MessageBoxes.h"

#include <algorithm>
#include <vector>

class TMessageAnswers {
public:
  explicit TMessageAnswers(std::vector<int> answers = {mbOK}) : answers_(std::move(answers)) {
    SetMessageAnswerer([this](const TMessageRequest& request) {
      Asked.push_back(request);
      const size_t i = std::min(Asked.size() - 1, answers_.size() - 1);
      return answers_[i];
    });
  }
  ~TMessageAnswers() { SetMessageAnswerer(nullptr); }
  TMessageAnswers(const TMessageAnswers&) = delete;
  TMessageAnswers& operator=(const TMessageAnswers&) = delete;

  int Errors() const {
    int n = 0;
    for (const TMessageRequest& r : Asked) n += r.Icon == TMessageIcon::Error;
    return n;
  }

  std::vector<TMessageRequest> Asked;

private:
  std::vector<int> answers_;
};
