// One running copy per user: the first start holds a local socket named after
// the instance GUID and the user; a later start hands its arguments to it and
// ends. The message keeps the layout of the desktop's copy-data message:
// argument count, byte length + 1, the 8-bit text with its zero byte.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <functional>

class QLocalServer;
class QLocalSocket;

namespace vornix {

inline constexpr const char* kInstanceGuid = "{F540DC7B-B392-4B38-B014-66E570D59E0E}";

/// The socket name: the GUID, then the user; the environment variable
/// VORNIX_INSTANCE_TAG, when set, is appended so test runs keep apart.
QString InstanceName();

/// The hand-over message: count (64-bit), cbData = text length + 1 (32-bit),
/// both little-endian, then the text and a zero byte. One argument is sent
/// alone; several are each followed by CR LF. Arguments go as the local
/// 8-bit encoding gives them (relative paths stay relative).
QByteArray EncodeHandOver(const QStringList& args);

enum class DecodeState { Incomplete, Complete, Invalid };
/// Reads one message from the front of `buffer`; on Complete, `consumed`
/// bytes form it and `args` holds its arguments.
DecodeState DecodeHandOver(const QByteArray& buffer, QStringList& args, qsizetype& consumed);

/// Splits the text of a message into arguments: count 1 is one argument;
/// otherwise lines at CR LF, CR or LF, without an empty last one.
QStringList SplitHandOverText(quint64 count, const QByteArray& text);

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  explicit SingleInstance(QObject* parent = nullptr);
  ~SingleInstance() override;

  /// True when another copy runs; `args` have then been handed to it (when
  /// there are any). False: this copy now holds the name. Call once.
  bool AlreadyRunning(const QStringList& args);
  /// Called with each argument that a later start hands over.
  void setHandler(std::function<void(const QString&)> onParameter) { m_onParameter = std::move(onParameter); }

 private:
  bool listen();
  void readFrom(QLocalSocket* socket);

  QLocalServer* m_server = nullptr;
  std::function<void(const QString&)> m_onParameter;
  bool m_called = false;
};

}  // namespace vornix
