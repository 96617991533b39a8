// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

namespace halvik::testing {

struct CommandResult {
    int exitCode = -1;
    QString out;
    QString err;
};

inline CommandResult runCommand(
    const QString& program, const QStringList& args,
    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
    int timeoutMs = 60000) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    CommandResult r;
    if (!p.waitForStarted(timeoutMs)) {
        r.err = program + ": " + p.errorString();
        return r;
    }
    p.waitForFinished(timeoutMs);
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// One word of `pdftotext -bbox`, in points from the page's top-left corner.
struct PdfWord {
    int page = 0;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    QString text;
};

inline std::vector<PdfWord> pdfWords(const QString& pdf) {
    const CommandResult r = runCommand("pdftotext", {"-bbox", pdf, "-"});
    std::vector<PdfWord> words;
    static const QRegularExpression tag(
        R"re(<page [^>]*>|<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    int page = 0;
    auto it = tag.globalMatch(r.out);
    while (it.hasNext()) {
        const auto m = it.next();
        if (m.captured(0).startsWith("<page")) {
            ++page;
            continue;
        }
        QString text = m.captured(5);
        text.replace("&amp;", "&")
            .replace("&lt;", "<")
            .replace("&gt;", ">")
            .replace("&quot;", "\"");
        words.push_back({page, m.captured(1).toDouble(), m.captured(2).toDouble(),
                         m.captured(3).toDouble(), m.captured(4).toDouble(), text});
    }
    return words;
}

inline std::optional<PdfWord> findWord(const std::vector<PdfWord>& words, const QString& text,
                                       int page = 0) {
    for (const PdfWord& w : words) {
        if (w.text == text && (page == 0 || w.page == page))
            return w;
    }
    return std::nullopt;
}

// A field of `pdfinfo`, e.g. "Pages" or "Title".
inline QString pdfInfo(const QString& pdf, const QString& field) {
    const CommandResult r = runCommand("pdfinfo", {pdf});
    for (const QString& line : r.out.split('\n')) {
        if (line.startsWith(field + ":"))
            return line.mid(field.size() + 1).trimmed();
    }
    return {};
}

inline int pdfPages(const QString& pdf) {
    return pdfInfo(pdf, "Pages").toInt();
}

}  // namespace halvik::testing
