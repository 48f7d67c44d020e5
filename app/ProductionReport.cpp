#include "app/ProductionReport.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>
#include <QWidget>

#include <vector>

#include "app/Latin1Text.h"
#include "record/RecordServer.h"
#include "record/RecordUrl.h"
#include "report/ReportPage.h"

namespace otp {

std::string OpenProductionReport(QWidget* parent, const std::string& logPath, const std::string& recordUrl,
                                 const std::string& workingDir, bool openInBrowser) {
    const QString title = QStringLiteral("Production report");
    std::vector<std::string> sources;
    if (!logPath.empty()) sources.push_back(logPath);
    if (!recordUrl.empty()) sources.push_back(recordUrl);
    if (sources.empty()) {
        QMessageBox::information(parent, title,
                                 QStringLiteral("No production log (--log, PRODUCTION_LOG) and no record server "
                                                "(--record, PRODUCTION_RECORD) is named: there is nothing to report."));
        return {};
    }
    const Report report = MakeReport(sources, workingDir, RecordServerReader());
    if (!report.input.errors.empty()) {
        std::string text = "No report:";
        for (const std::string& error : report.input.errors) text += "\n" + error;
        QMessageBox::warning(parent, title, ToQ(text));
        return {};
    }
    const std::string path = workingDir + "/" + kReportPageName;
    std::string error;
    if (!WriteReportPage(report, path, error)) {
        QMessageBox::warning(parent, title, ToQ("The page " + path + " cannot be written: " + error));
        return {};
    }
    if (openInBrowser && !QDesktopServices::openUrl(QUrl::fromLocalFile(ToQ(path))))
        QMessageBox::information(parent, title,
                                 ToQ("The report is in " + path + "; no browser could be started to show it."));
    return path;
}

}  // namespace otp
