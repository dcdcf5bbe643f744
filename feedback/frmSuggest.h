#pragma once
// The feedback form "建议和意见": name, e-mail and comment, sent to the
// maker's site in one GET request
//   <site>/suggest/post.php?name=<name>&age=<email>&comment=(MP4)<comment>
// with every value percent-encoded as UTF-8, over HTTPS when the site is an
// https:// address. Modal; a new form starts empty.

#include <QDialog>
#include <QPointer>
#include <QUrl>

#include "widgets/Site.h"

class QLabel;
class QLineEdit;
class QNetworkAccessManager;
class QNetworkReply;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace tessaro {

class ImageButton;

class frmSuggest : public QDialog {
    Q_OBJECT
public:
    // `site` is the address the request goes to, without a trailing slash.
    explicit frmSuggest(QWidget* parent = nullptr, const QString& site = QString::fromUtf8(kMakerSite));
    ~frmSuggest() override;

    // How long Send waits for the answer before it reports a failure.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

    // The request address for the given field texts.
    static QUrl requestUrl(const QString& site, const QString& name, const QString& email,
                           const QString& comment);

    // Send: the three checks, then the request.
    void Send();

    // The designed controls, for the form's tests.
    QLineEdit* txtName() const { return m_txtName; }
    QLineEdit* txtEMail() const { return m_txtEMail; }
    QPlainTextEdit* txtComment() const { return m_txtComment; }
    QLabel* lblSending() const { return m_lblSending; }
    ImageButton* imgSend() const { return m_imgSend; }
    ImageButton* imgBack() const { return m_imgBack; }
    ImageButton* imgExit() const { return m_imgExit; }
    QPushButton* Command1() const { return m_Command1; }
    QPushButton* Command2() const { return m_Command2; }
    QPushButton* Command3() const { return m_Command3; }
    QPushButton* Command4() const { return m_Command4; }

    // The longest comment accepted, in characters.
    static constexpr int kCommentLimit = 256;

signals:
    // The request has ended: `ok` for a real answer, false for a failure.
    void sendFinished(bool ok);

private:
    void showStatus(const QString& text);
    void limitComment();
    void requestFinished();

    QString m_site;
    int m_timeoutMs = 30000;

    QLabel* m_Label1;
    QLabel* m_Label2;
    QLabel* m_Label3;
    QLineEdit* m_txtName;
    QLineEdit* m_txtEMail;
    QPlainTextEdit* m_txtComment;
    QLabel* m_lblSending;
    ImageButton* m_imgSend;
    ImageButton* m_imgBack;
    ImageButton* m_imgExit;
    QPushButton* m_Command1;
    QPushButton* m_Command2;
    QPushButton* m_Command3;
    QPushButton* m_Command4;

    QNetworkAccessManager* m_network;
    QPointer<QNetworkReply> m_reply;
    QTimer* m_timeout;
};

}  // namespace tessaro
