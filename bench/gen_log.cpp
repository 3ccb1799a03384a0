// Writes a deterministic, realistic service log for the whole-program
// comparison: timestamped records at DEBUG/INFO/WARN/ERROR, some blank lines,
// and some lines holding the texts of the sample replacement file. With
// "accented", one line in four also names a person in French, German, Czech,
// Russian or Greek, so that searches meet letters beyond ASCII. With
// "russian", every line is Russian: levels, threads and messages in
// Cyrillic, one line in sixteen an error.
//
//   gen_log <output file> [size in MB, default 400] [accented | russian]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A fixed generator, so every machine writes the same bytes.
struct TRandom {
  std::uint64_t State = 0x9E3779B97F4A7C15ULL;
  std::uint64_t Next() {
    State ^= State << 13;
    State ^= State >> 7;
    State ^= State << 17;
    return State;
  }
  unsigned Below(unsigned N) { return static_cast<unsigned>(Next() % N); }
};

constexpr const char* Levels[] = {"DEBUG", "DEBUG", "DEBUG", "INFO ", "INFO ", "INFO ",
                                  "INFO ", "WARN ", "ERROR", "DEBUG"};
constexpr const char* Components[] = {"http", "db", "cache", "scheduler", "auth", "storage"};
constexpr const char* Messages[] = {
    "request GET /api/v2/orders/%u served in %u ms",
    "connection pool size %u, %u idle",
    "cache hit ratio %u.%u percent",
    "job %u finished after %u s",
    "user %u logged in from 10.0.%u.1",
    "retrying upload of chunk %u (attempt %u)",
    "query returned %u rows in %u ms",
    "heartbeat %u acknowledged by node %u",
};
// Lines that the nine pairs of the sample replacement file change.
constexpr const char* SampleHits[] = {
    "Old configuration value %u replaced, rollback id %u",
    "Delete marker %u set on bucket %u",
    "Host CPU Intel Xeon, %u cores, load %u",
    "GPU nVidia driver %u.%u loaded",
    "Windows agent %u reported status %u",
    "Cisco switch port %u flapped %u times",
    "Fortinet policy %u matched %u packets",
    "You can change long text in field %u of form %u",
    "Gateway 192.168.100.%u answered in %u ms",
};
constexpr const char* People[] = {
    " owner=\"Élodie Lefèvre\"", " owner=\"Jürgen Größer\"", " owner=\"Dobrý Šťastný\"",
    " owner=\"Дмитрий Соколов\"", " owner=\"Σοφία Παπαδοπούλου\"",
};

// The Russian log: a level, a thread and a message per line.
constexpr const char* RussianMessages[] = {
    "Драйвер перезагружен на узле %u",
    "Запрос %u обработан за %u мс",
    "Соединение с базой данных восстановлено, попытка %u",
    "Пользователь %u вошёл в систему",
    "Кэш очищен, освобождено %u записей",
    "Задание %u завершено через %u с",
    "Получен ответ от сервера %u",
    "Загрузка файла %u прервана, повтор через %u с",
};

int RussianLine(TRandom& Random, unsigned Seconds, char* Line, std::size_t Size) {
  const unsigned Roll = Random.Below(16);
  const char* Level = Roll == 0 ? "ОШИБКА" : Roll < 3 ? "ПРЕДУПРЕЖДЕНИЕ" : Roll < 8 ? "ИНФО" : "ОТЛАДКА";
  char Message[200];
  std::snprintf(Message, sizeof Message, RussianMessages[Random.Below(8)], Random.Below(100000),
                Random.Below(1000));
  return std::snprintf(Line, Size, "2026-12-%02u %02u:%02u:%02u.%03u %s [поток-%u] %s\n",
                       1 + Seconds / 86400 % 28, Seconds / 3600 % 24, Seconds / 60 % 60,
                       Seconds % 60, Random.Below(1000), Level, Random.Below(32), Message);
}

}  // namespace

int main(int Argc, char** Argv) {
  if (Argc < 2) {
    std::fputs("usage: gen_log <output file> [size in MB]\n", stderr);
    return 2;
  }
  const unsigned long long Target =
      (Argc > 2 ? std::strtoull(Argv[2], nullptr, 10) : 400ULL) * 1000ULL * 1000ULL;
  std::FILE* Out = std::fopen(Argv[1], "wb");
  if (Out == nullptr) {
    std::perror(Argv[1]);
    return 1;
  }
  const bool Accented = Argc > 3 && std::string(Argv[3]) == "accented";
  const bool Russian = Argc > 3 && std::string(Argv[3]) == "russian";
  TRandom Random;
  unsigned long long Written = 0;
  unsigned Seconds = 0;
  char Message[160];
  char Line[512];
  while (Written < Target) {
    Seconds += Random.Below(3);
    const unsigned Roll = Random.Below(100);
    int Length;
    if (Russian) {
      Length = RussianLine(Random, Seconds, Line, sizeof Line);
    } else if (Roll < 3) {
      Length = std::snprintf(Line, sizeof Line, "\n");
    } else {
      const char* Format = Roll < 6 ? SampleHits[Random.Below(9)] : Messages[Random.Below(8)];
      std::snprintf(Message, sizeof Message, Format, Random.Below(100000), Random.Below(1000));
      const char* Person = Accented && Random.Below(4) == 0 ? People[Random.Below(5)] : "";
      Length = std::snprintf(Line, sizeof Line, "2026-11-%02u %02u:%02u:%02u.%03u %s [%s] %s%s\n",
                             1 + Seconds / 86400 % 28, Seconds / 3600 % 24, Seconds / 60 % 60,
                             Seconds % 60, Random.Below(1000), Levels[Random.Below(10)],
                             Components[Random.Below(6)], Message, Person);
    }
    std::fwrite(Line, 1, static_cast<std::size_t>(Length), Out);
    Written += static_cast<unsigned long long>(Length);
  }
  return std::fclose(Out) == 0 ? 0 : 1;
}
