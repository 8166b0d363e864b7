#pragma once
// The error the registry store raises: a value of the wrong type, a key path it cannot hold, or a
// hive file it cannot write.

#include <QString>

#include <stdexcept>

class ERegistryException : public std::runtime_error {
public:
  explicit ERegistryException(const QString& message)
      : std::runtime_error(message.toStdString()), message_(message) {}
  const QString& Message() const { return message_; }

private:
  QString message_;
};
