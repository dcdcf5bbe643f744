#include "feedback/frmSuggest.h"

#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "widgets/BackgroundHandler.h"
#include "widgets/FormScaling.h"
#include "widgets/ImageButton.h"

namespace tessaro {

namespace {

QLabel* caption(const QString& text, QWidget* parent, const char* name, const QRect& rect) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(rect);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QPushButton* button(const QString& text, QWidget* parent, const char* name, const QRect& rect) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(rect);
    b->setAutoDefault(false);
    return b;
}

ImageButton* imageButton(HoverPicture picture, QWidget* parent, const char* name,
                         const QRect& rect) {
    auto* b = new ImageButton(picture, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(rect);
    return b;
}

}  // namespace

frmSuggest::frmSuggest(QWidget* parent, const QString& site)
    : QDialog(parent), m_site(site) {
    setWindowTitle(QStringLiteral("建议和意见"));
    setModal(true);
    setFixedSize(420, 284);

    m_imgExit = imageButton(HoverPicture::SuggestExitLight, this, "imgExit", {398, 8, 14, 13});
    m_imgExit->setToolTip(QStringLiteral("Exit"));

    m_Label1 = caption(QStringLiteral("姓名："), this, "Label1", {14, 28, 64, 24});
    m_txtName = new QLineEdit(this);
    m_txtName->setObjectName(QStringLiteral("txtName"));
    m_txtName->setGeometry(84, 28, 314, 24);
    m_txtName->setToolTip(QStringLiteral("Your Name"));
    m_txtName->setMaxLength(50);

    m_Label2 = caption(QStringLiteral("EMAIL："), this, "Label2", {14, 60, 64, 24});
    m_txtEMail = new QLineEdit(this);
    m_txtEMail->setObjectName(QStringLiteral("txtEMail"));
    m_txtEMail->setGeometry(84, 60, 314, 24);
    m_txtEMail->setToolTip(QStringLiteral("Email"));
    m_txtEMail->setMaxLength(100);

    m_Label3 = caption(QStringLiteral("留言："), this, "Label3", {14, 92, 64, 24});
    m_txtComment = new QPlainTextEdit(this);
    m_txtComment->setObjectName(QStringLiteral("txtComment"));
    m_txtComment->setGeometry(84, 92, 314, 110);
    m_txtComment->setTabChangesFocus(true);
    connect(m_txtComment, &QPlainTextEdit::textChanged, this, [this] { limitComment(); });

    m_lblSending = new QLabel(QStringLiteral("您的EMAIL?"), this);
    m_lblSending->setObjectName(QStringLiteral("lblSending"));
    m_lblSending->setGeometry(84, 206, 314, 20);
    m_lblSending->hide();

    m_imgSend = imageButton(HoverPicture::SendLight, this, "imgSend", {84, 238, 26, 26});
    m_imgSend->setToolTip(QStringLiteral("Send your feedback now"));
    m_Command3 = button(QStringLiteral("发送"), this, "Command3", {114, 237, 60, 28});
    m_Command1 = button(QStringLiteral("Send"), this, "Command1", {178, 237, 60, 28});
    m_imgBack = imageButton(HoverPicture::BackLight, this, "imgBack", {244, 238, 26, 26});
    m_Command4 = button(QStringLiteral("返回"), this, "Command4", {274, 237, 60, 28});
    m_Command2 = button(QStringLiteral("Back"), this, "Command2", {338, 237, 60, 28});

    setTabOrder(m_txtName, m_txtEMail);
    setTabOrder(m_txtEMail, m_txtComment);
    setTabOrder(m_txtComment, m_Command3);
    setTabOrder(m_Command3, m_Command1);
    setTabOrder(m_Command1, m_Command4);
    setTabOrder(m_Command4, m_Command2);
    m_txtName->setFocus();

    for (QPushButton* send : {m_Command1, m_Command3})
        connect(send, &QPushButton::clicked, this, [this] { Send(); });
    connect(m_imgSend, &ImageButton::clicked, this, [this] { Send(); });
    for (QPushButton* back : {m_Command2, m_Command4})
        connect(back, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_imgBack, &ImageButton::clicked, this, &QDialog::reject);
    connect(m_imgExit, &ImageButton::clicked, this, &QDialog::reject);

    auto* background = new BackgroundHandler(this);
    connect(background, &BackgroundHandler::pointerOverBackground, this, [this] {
        m_imgExit->setHovered(false);
        m_imgBack->setHovered(false);
        m_imgSend->setHovered(false);
    });

    scaleFormToScreen(*this);

    m_network = new QNetworkAccessManager(this);
    m_timeout = new QTimer(this);
    m_timeout->setSingleShot(true);
    connect(m_timeout, &QTimer::timeout, this, [this] {
        if (m_reply) m_reply->abort();  // ends in requestFinished() with an error
    });
}

frmSuggest::~frmSuggest() {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

QUrl frmSuggest::requestUrl(const QString& site, const QString& name, const QString& email,
                            const QString& comment) {
    // Every value is percent-encoded as UTF-8, so "&", "=", "+", "#", "%" and
    // blanks in a text arrive as typed; "(MP4)" marks the product.
    QByteArray query;
    query += "name=" + QUrl::toPercentEncoding(name);
    query += "&age=" + QUrl::toPercentEncoding(email);
    query += "&comment=(MP4)" + QUrl::toPercentEncoding(comment);
    QString base = site;
    while (base.endsWith(QLatin1Char('/'))) base.chop(1);
    QUrl url(base + QStringLiteral("/suggest/post.php"));
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    return url;
}

void frmSuggest::showStatus(const QString& text) {
    m_lblSending->setText(text);
    m_lblSending->show();
}

void frmSuggest::limitComment() {
    const QString text = m_txtComment->toPlainText();
    if (text.size() <= kCommentLimit) return;
    QSignalBlocker block(m_txtComment);
    m_txtComment->setPlainText(text.left(kCommentLimit));
    QTextCursor cursor = m_txtComment->textCursor();
    cursor.movePosition(QTextCursor::End);
    m_txtComment->setTextCursor(cursor);
}

void frmSuggest::Send() {
    if (!m_Command1->isEnabled()) return;  // sending, or sent: one answered request per form
    if (m_txtName->text().isEmpty()) {
        showStatus(QStringLiteral("您的姓名？"));
        m_txtName->setFocus();
        return;
    }
    if (m_txtEMail->text().isEmpty()) {
        showStatus(QStringLiteral("您的Email？"));
        m_txtEMail->setFocus();
        return;
    }
    if (m_txtComment->toPlainText().isEmpty()) {
        showStatus(QStringLiteral("您的意见？"));
        m_txtComment->setFocus();
        return;
    }
    showStatus(QStringLiteral("正在发送..."));
    for (QWidget* send : {static_cast<QWidget*>(m_Command1), static_cast<QWidget*>(m_Command3),
                          static_cast<QWidget*>(m_imgSend)}) {
        send->setEnabled(false);
    }
    m_imgSend->setHovered(false);

    QNetworkRequest request(requestUrl(m_site, m_txtName->text(), m_txtEMail->text(),
                                       m_txtComment->toPlainText()));
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::finished, this, [this] { requestFinished(); });
    m_timeout->start(m_timeoutMs);
}

void frmSuggest::requestFinished() {
    m_timeout->stop();
    QNetworkReply* reply = m_reply;
    if (!reply) return;
    m_reply = nullptr;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool ok = reply->error() == QNetworkReply::NoError && status >= 200 && status < 400;
    reply->deleteLater();
    showStatus(ok ? QStringLiteral("完毕.") : QStringLiteral("发送失败，请稍后再试。"));
    // After a failure the form can send again with what the user typed.
    // Sending moved the focus on to 返回; a key pressed after a failure
    // sends again rather than closing the form with the typed text.
    if (!ok) {
        for (QWidget* send : {static_cast<QWidget*>(m_Command1), static_cast<QWidget*>(m_Command3),
                              static_cast<QWidget*>(m_imgSend)})
            send->setEnabled(true);
        if (focusWidget() == m_Command4) m_Command3->setFocus();
    }
    emit sendFinished(ok);
}

}  // namespace tessaro
