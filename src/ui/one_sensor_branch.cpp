#include "ui/one_sensor_branch.h"

#include "ui/address_box.h"
#include "ui/main_window.h"
#include "ui_main_window.h"
#include "veltoproto/address_entry.h"

namespace velto::ui {

int selectOneSensor(MainWindow& main, Prompter& prompter)
{
    Ui::ProtocolChoose& f = main.form();
    if (f.NoOfUnitCombo->count() > 0)
        f.NoOfUnitCombo->setCurrentIndex(0);
    f.TxtOrvixId->show();
    f.LabelOrvixId->show();
    f.TxtOrvix2Id->hide();
    f.LabelOrvix2Id->hide();
    f.Label26->setText(QStringLiteral("Unit"));
    main.TimerForJump2DevicesModbus->stop();
    return commitAddressBox(f.TxtOrvixId, veltoproto::orvixIdRule(veltoproto::AddressMode::Modbus), prompter);
}

} // namespace velto::ui
