#include "calibration/calibration_texts.h"

#include "calibration/current_output.h"

namespace velto::calibration {

namespace {
BoxUpdate textOf(const QString& name, const QString& text)
{
    BoxUpdate u;
    u.objectName = name;
    u.text = text;
    return u;
}
} // namespace

QList<BoxUpdate> transceiverPanelTexts(
    TransceiverParameter parameter, int code, const CalibrationState& state)
{
    const TransceiverRow& row = transceiverRow(parameter);
    return {
        textOf(QStringLiteral("TransceiverActualValueLabel"), QString::fromUtf8(row.valueCaption)),
        textOf(QStringLiteral("TransceiverValueLabel"), QString::fromUtf8(row.codeCaption)),
        textOf(QStringLiteral("UnitLabel"), QString::fromUtf8(row.unit)),
        textOf(QStringLiteral("TransceiverValueText"), hexCode(code)),
        textOf(QStringLiteral("TransceiverActualValueText"),
            transceiverValueText(parameter, code, state.code(TransceiverParameter::Power))),
    };
}

QList<BoxUpdate> currentPanelTexts(int code)
{
    return {
        textOf(QStringLiteral("ActualCurrentText"), milliampsText(code)),
        textOf(QStringLiteral("DtoA4_20ValueText"), hexCode(code)),
    };
}

BoxUpdate valueBoxText(TransceiverParameter parameter, const CalibrationState& state)
{
    const QString box = QString::fromLatin1(transceiverRow(parameter).valueBox);
    switch (parameter) {
    case TransceiverParameter::Power:
        return textOf(box, powerText(state.code(TransceiverParameter::Power), state.powerX10()));
    case TransceiverParameter::PowerX10:
        // The value the switch gives, as the panel shows it for the row: never the bare 0 or 1.
        return textOf(
            box, transceiverValueText(parameter, state.powerX10(), state.code(TransceiverParameter::Power)));
    default:
        return textOf(box, transceiverValueText(parameter, state.code(parameter), 0));
    }
}

QList<BoxUpdate> valueBoxTexts(const CalibrationState& state)
{
    QList<BoxUpdate> out;
    for (const TransceiverRow& row : transceiverRows())
        out << valueBoxText(row.parameter, state);
    return out;
}

} // namespace velto::calibration

namespace velto::calibration {

QString invalidTransceiverValueText(TransceiverParameter parameter)
{
    const TransceiverRow& row = transceiverRow(parameter);
    QString range = QStringLiteral("from %1 to %2")
                        .arg(transceiverValueText(parameter, row.minCode, 0),
                            transceiverValueText(parameter, row.maxCode, 0));
    if (*row.unit)
        range += QLatin1Char(' ') + QString::fromUtf8(row.unit);
    return QStringLiteral("Invalid Value: enter a %1 value %2").arg(QString::fromLatin1(row.text), range);
}

QString invalidCurrentText()
{
    return QStringLiteral("Invalid Value: enter a current from %1 to %2 mA")
        .arg(milliampsText(kMinCurrentCode), milliampsText(kMaxCurrentCode));
}

} // namespace velto::calibration
