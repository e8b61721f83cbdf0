#include "modbus/display_model.h"

#include "common/colors.h"

#include <array>

namespace velto::modbus {

namespace {

constexpr qint64 kTemperatureDivisor = 100;
constexpr qint64 kFlowDivisor = 10;
constexpr int kCommTypeRs485 = 0;
constexpr int kCommTypeRs232 = 1;

const QString kTemperatureLabel = QStringLiteral("Celsious ");
const QString kNotAvailable = QStringLiteral("N/A");
const QString kRelayOpen = QStringLiteral("open");
const QString kRelayClosed = QStringLiteral("close");

constexpr std::array<const char*, kRelayCount> kRelayLabels { "LabelRel1", "LabelRel2", "LabelRel3",
    "LabelRel4", "LabelRel5" };
constexpr std::array<const char*, 3> kFlowBoxes { "Vol_Flow_Tot_Ind_Label", "Vol_Flow_Tot_Value_Text",
    "Vol_Flow_Tot_Unit_Label" };
constexpr std::array<const char*, 4> kVersionBoxes { "IrCoProVersion", "IrMainProVersion", "IrLcdProVersion",
    "IrHwRevisionVersion" };

BoxUpdate textUpdate(const QString& name, const QString& text)
{
    return BoxUpdate { name, text, {}, {}, {} };
}

QString signedText(quint16 word)
{
    return QString::number(qint16(word));
}

// Reads a register of a group by its address, so the decoders speak in register numbers.
class GroupWords {
public:
    GroupWords(RegisterGroup group, const QList<quint16>& words)
        : m_group(group)
        , m_words(words)
    {
    }
    bool complete() const { return m_words.size() >= m_group.count; }
    quint16 operator[](int reg) const { return m_words.at(reg - m_group.start); }
    quint32 pair(int lowReg) const { return combineWords((*this)[lowReg], (*this)[lowReg + 1]); }

private:
    RegisterGroup m_group;
    const QList<quint16>& m_words;
};

// Every Modbus reading and information box the readings reset writes "N/A" into.
constexpr std::array<const char*, 25> kNotAvailableBoxes { "IrcommTYpe", "IrCoProVersion", "IrMainProVersion",
    "IrLcdProVersion", "IrHwRevisionVersion", "IndicationModeText", "IrMeasurementUnit", "IrTankHeight",
    "Current4mAText", "Current20mAText", "SbdText", "Interference1Text", "Interference2Text",
    "Interference3Text", "Interference4Text", "Interference5Text", "Interference6Text", "Interference7Text",
    "Interference8Text", "DeviceAddText", "IrDistance", "IrLevel", "IrTemperature", "Vol_Flow_Tot_Value_Text",
    "ErrorStatusText" };

} // namespace

RegisterGroup registerGroup(GroupKind kind)
{
    switch (kind) {
    case GroupKind::Static:
        return kStaticGroup;
    case GroupKind::Dynamic:
        return kDynamicGroup;
    case GroupKind::Information:
        return kInformationGroup;
    }
    return kStaticGroup;
}

QList<BoxUpdate> DisplayModel::notAvailable()
{
    m_unitText = kNotAvailable;
    m_modeText = kNotAvailable;
    QList<BoxUpdate> out;
    for (const char* name : kNotAvailableBoxes)
        out << BoxUpdate { QLatin1String(name), kNotAvailable, false, {}, {} };
    out.last().color = QColor(); // ErrorStatusText
    for (const char* name : kRelayLabels)
        out << BoxUpdate { QLatin1String(name), kNotAvailable, false, QColor(), {} };
    return out;
}

QList<BoxUpdate> DisplayModel::decode(GroupKind kind, const QList<quint16>& words)
{
    switch (kind) {
    case GroupKind::Static:
        return decodeStatic(words);
    case GroupKind::Dynamic:
        return decodeDynamic(words);
    case GroupKind::Information:
        return decodeInformation(words);
    }
    return {};
}

QList<BoxUpdate> DisplayModel::decodeStatic(const QList<quint16>& words)
{
    const GroupWords reg(kStaticGroup, words);
    if (!reg.complete())
        return {};
    QList<BoxUpdate> out;

    if (const auto newUnit = unitFromCode(qint16(reg[kRegMeasurementUnit]))) {
        m_unitText = modbus::unitText(*newUnit);
        out << textUpdate(QStringLiteral("IrMeasurementUnit"), m_unitText);
    }
    const auto unit = unitFromText(m_unitText);

    if (unit) {
        out << textUpdate(QStringLiteral("IrTankHeight"), scaleLength(reg[kRegTankHeight], *unit))
            << textUpdate(QStringLiteral("LabelTankHeight"), unitLabel(*unit));

        // Still the mode shown before this read; it is updated further down.
        const bool volumeMode = m_modeText == kModeVolume;
        QString text4mA, text20mA, label;
        if (isFlowUnit(*unit) || volumeMode) {
            text4mA = QString::number(reg.pair(kReg4mA));
            text20mA = QString::number(reg.pair(kReg20mA));
            label = volumeMode ? QString() : flowUnitLabel(*unit);
        } else {
            text4mA = scaleLength(reg[kReg4mA], *unit);
            text20mA = scaleLength(reg[kReg20mA], *unit);
            label = unitLabel(*unit);
        }
        out << textUpdate(QStringLiteral("Current4mAText"), text4mA)
            << textUpdate(QStringLiteral("Current4mALabel"), label)
            << textUpdate(QStringLiteral("Current20mAText"), text20mA)
            << textUpdate(QStringLiteral("Current20mALabel"), label);
    }

    const int modeCode = qint16(reg[kRegIndicationMode]);
    if (const auto mode = modbus::indicationModeText(modeCode)) {
        m_modeText = *mode;
        out << textUpdate(QStringLiteral("IndicationModeText"), m_modeText);
        const bool showFlowBoxes = *mode != kModeDistance && *mode != kModeLevel;
        for (const char* name : kFlowBoxes)
            out << BoxUpdate { QLatin1String(name), {}, {}, {}, showFlowBoxes };
    }

    const quint16 sbd = reg[kRegSbd];
    if (sbd == 0) {
        out << textUpdate(QStringLiteral("SbdText"), QStringLiteral("0"))
            << textUpdate(QStringLiteral("SbdLabelUnit"), QString());
    } else if (unit) {
        out << BoxUpdate { QStringLiteral("SbdText"), scaleSigned(sbd, *unit), false, {}, {} }
            << textUpdate(QStringLiteral("SbdLabelUnit"), unitLabel(*unit));
    }

    for (int i = 0; i < kInterferenceCount; ++i) {
        const QString number = QString::number(i + 1);
        const QString textBox = QStringLiteral("Interference%1Text").arg(number);
        const QString labelBox = QStringLiteral("Interference%1UnitLabel").arg(number);
        const quint16 value = reg[kRegInterference1 + i];
        if (value == 0) {
            out << BoxUpdate { textBox, kNotAvailable, true, {}, {} } << textUpdate(labelBox, QString());
        } else if (unit) {
            out << BoxUpdate { textBox, scaleSigned(value, *unit), false, {}, {} }
                << textUpdate(labelBox, unitLabel(*unit));
        }
    }
    return out;
}

QList<BoxUpdate> DisplayModel::decodeDynamic(const QList<quint16>& words)
{
    const GroupWords reg(kDynamicGroup, words);
    if (!reg.complete())
        return {};
    QList<BoxUpdate> out;
    const auto unit = unitFromText(m_unitText);

    out << textUpdate(QStringLiteral("DeviceAddText"), signedText(reg[kRegDeviceAddress]));

    if (unit) {
        out << textUpdate(QStringLiteral("IrDistance"), scaleLength(reg[kRegDistance], *unit))
            << textUpdate(QStringLiteral("LabelDist"), unitLabel(*unit))
            << textUpdate(QStringLiteral("IrLevel"), scaleLength(reg[kRegLevel], *unit))
            << textUpdate(QStringLiteral("LabelLevel"), unitLabel(*unit));
    }

    out << textUpdate(
        QStringLiteral("IrTemperature"), formatDecimal(qint16(reg[kRegTemperature]), kTemperatureDivisor))
        << textUpdate(QStringLiteral("LabelModBusTemp"), kTemperatureLabel);

    out << BoxUpdate { QStringLiteral("ErrorStatusText"), statusText(reg[kRegStatus]), true, kBlue, {} };

    const quint16 relays = reg[kRegRelays];
    for (int k = 0; k < kRelayCount; ++k) {
        const bool open = relays & (1u << k);
        out << BoxUpdate { QLatin1String(kRelayLabels[k]), open ? kRelayOpen : kRelayClosed, true,
            open ? kBlue : kRed, {} };
    }

    const QString flow = formatDecimal(reg.pair(kRegFlowLow), kFlowDivisor);
    const bool flowMode = m_modeText == kModeFlow || m_modeText == kModeTotalization;
    if (flowMode && unit && isFlowUnit(*unit)) {
        out << textUpdate(QStringLiteral("Vol_Flow_Tot_Value_Text"), flow)
            << textUpdate(QStringLiteral("Vol_Flow_Tot_Unit_Label"), flowUnitLabel(*unit))
            << textUpdate(QStringLiteral("Vol_Flow_Tot_Ind_Label"), m_modeText);
    } else if (m_modeText == kModeVolume) {
        out << textUpdate(QStringLiteral("Vol_Flow_Tot_Value_Text"), flow)
            << textUpdate(QStringLiteral("Vol_Flow_Tot_Unit_Label"), QString())
            << textUpdate(QStringLiteral("Vol_Flow_Tot_Ind_Label"), kModeVolume);
    }
    return out;
}

QList<BoxUpdate> DisplayModel::decodeInformation(const QList<quint16>& words)
{
    const GroupWords reg(kInformationGroup, words);
    if (!reg.complete())
        return {};
    QList<BoxUpdate> out;

    const int commType = qint16(reg[kRegCommType]);
    const QString commText = commType == kCommTypeRs485 ? QStringLiteral("RS485")
        : commType == kCommTypeRs232                    ? QStringLiteral("RS232")
                                                        : QStringLiteral("Err");
    out << textUpdate(QStringLiteral("IrcommTYpe"), commText);

    const std::array<int, 4> versionRegs { kRegCoProVersion, kRegMainProVersion, kRegLcdProVersion,
        kRegHwRevision };
    for (size_t i = 0; i < versionRegs.size(); ++i)
        out << textUpdate(QLatin1String(kVersionBoxes[i]), signedText(reg[versionRegs[i]]));
    return out;
}

} // namespace velto::modbus
