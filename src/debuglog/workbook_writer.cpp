#include "debuglog/workbook_writer.h"

#include <QFile>

#include <xlsxwriter.h>

namespace velto::debuglog {

namespace {
constexpr auto kSheetName = "Sheet1";
} // namespace

WorkbookWriter::~WorkbookWriter()
{
    discard();
}

bool WorkbookWriter::open(const QString& path)
{
    discard();
    m_error.clear();
    const QByteArray file = QFile::encodeName(path);
    lxw_workbook_options options {};
    options.constant_memory = LXW_TRUE;
    m_workbook = workbook_new_opt(file.constData(), &options);
    if (!m_workbook) {
        m_error = QStringLiteral("cannot start the workbook");
        return false;
    }
    m_sheet = workbook_add_worksheet(m_workbook, kSheetName);
    if (!m_sheet) {
        m_error = QStringLiteral("cannot make its worksheet (temporary folder full or not writable?)");
        discard();
        return false;
    }
    for (int column = 0; column < int(kParsingHeaders.size()); ++column) {
        const std::string header(kParsingHeaders[column]);
        if (const lxw_error e
            = worksheet_write_string(m_sheet, 0, lxw_col_t(column), header.c_str(), nullptr);
            e != LXW_NO_ERROR)
            return fail(e);
    }
    return true;
}

bool WorkbookWriter::writeRow(int rowNumber, const ParsingRow& row)
{
    if (!m_sheet)
        return false;
    const auto sheetRow = lxw_row_t(rowNumber - 1);
    for (int i = 0; i < ParsingRow::kColumns; ++i) {
        if (!(row.written & (1u << i)))
            continue;
        if (const lxw_error e
            = worksheet_write_number(m_sheet, sheetRow, lxw_col_t(i), row.values[i], nullptr);
            e != LXW_NO_ERROR)
            return fail(e);
    }
    return true;
}

bool WorkbookWriter::close()
{
    if (!m_workbook)
        return false;
    lxw_workbook* workbook = std::exchange(m_workbook, nullptr);
    m_sheet = nullptr;
    if (const lxw_error e = workbook_close(workbook); e != LXW_NO_ERROR) {
        m_error = QString::fromUtf8(lxw_strerror(e));
        return false;
    }
    return true;
}

bool WorkbookWriter::fail(int error)
{
    m_error = QString::fromUtf8(lxw_strerror(lxw_error(error)));
    discard();
    return false;
}

void WorkbookWriter::discard()
{
    if (m_workbook)
        lxw_workbook_free(m_workbook);
    m_workbook = nullptr;
    m_sheet = nullptr;
}

} // namespace velto::debuglog
