#pragma once

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QUrl>

namespace halvik::testing {

// While it lives, QDesktopServices::openUrl on a file comes here instead of going to the
// desktop's viewer (the xdg-open stand-in). The report buttons call openUrl inside the press, so
// once click() has returned a press has asked for a viewer or never will: a check that no viewer
// was opened needs no wait.
class ViewerRequests : public QObject {
    Q_OBJECT
  public:
    ViewerRequests() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~ViewerRequests() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    ViewerRequests(const ViewerRequests&) = delete;
    ViewerRequests& operator=(const ViewerRequests&) = delete;

    QList<QUrl> urls;

  public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

}  // namespace halvik::testing
