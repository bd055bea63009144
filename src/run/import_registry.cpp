#include "run/import_run.h"

namespace kestrel {

namespace {

ImportEntry entry(ImportKind kind, const char* command, const char* caption, const char* handler) {
    return {kind, QString::fromUtf8(command), QString::fromUtf8(caption),
            QString::fromUtf8(handler)};
}

} // namespace

const QList<ImportEntry>& importRegistry() {
    static const QList<ImportEntry> entries = {
        entry(ImportKind::StoredValue, "stored-value", "充值卡导入", "btnStartClick"),
        entry(ImportKind::Points, "points", "积分卡导入", "SpeedButton1Click"),
        entry(ImportKind::Treatment, "treatment", "疗程次卡导入", "SpeedButton2Click"),
        entry(ImportKind::TimePeriod, "time-period", "时段卡导入", "SpeedButton6Click"),
        entry(ImportKind::RoomsLockers, "rooms-lockers", "锁牌房号导入", "SpeedButton3Click"),
        entry(ImportKind::ItemsGoods, "items-goods", "沐足洗浴项目导入", "SpeedButton4Click"),
        entry(ImportKind::Employees, "employees", "员工资料导入", "SpeedButton5Click"),
    };
    return entries;
}

const ImportEntry& importEntry(ImportKind kind) {
    for (const ImportEntry& candidate : importRegistry()) {
        if (candidate.kind == kind)
            return candidate;
    }
    return importRegistry().front(); // unreachable: every kind has an entry
}

std::optional<ImportKind> importKindFromCommandName(const QString& name) {
    for (const ImportEntry& candidate : importRegistry()) {
        if (candidate.commandName == name)
            return candidate.kind;
    }
    return std::nullopt;
}

} // namespace kestrel
