#include "app/RecentFiles.h"

#include <QSettings>
#include <QStringList>

namespace rowcaster::app {

std::vector<std::string> RecentEntries(const char* key) {
  std::vector<std::string> out;
  for (const QString& e : QSettings().value(key).toStringList()) out.push_back(e.toStdString());
  return out;
}

void RememberEntry(const char* key, const std::string& entry) {
  QSettings settings;
  QStringList list = settings.value(key).toStringList();
  const QString e = QString::fromStdString(entry);
  list.removeAll(e);
  list.prepend(e);
  while (list.size() > kRecentCount) list.removeLast();
  settings.setValue(key, list);
}

}  // namespace rowcaster::app
