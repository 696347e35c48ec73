#!/bin/sh
# Learning inside PostgreSQL, timed: a generated table of ROWS rows (10
# smallint and 10 double columns, 5 classes) learned by pellory_learn with
# 0, 1 and 2 parallel workers, beside the scan floor (count and ten averages
# over the same rows, same workers) measured in the same run, and
# pellory_classify's rate over the whole table.
#   bench/pg_extension.sh [BUILD [ROWS [REPEAT]]]    (build, 10000000, 3)
# Runs inside a throwaway cluster (scripts/with-postgres) unless PELLORY_PG
# is set; installs the built extension into the server's folders (root).
# Each figure is the fastest of REPEAT runs, with the slowest beside it.
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
rows=${2:-10000000}
repeat=${3:-3}
if [ -z "${PELLORY_PG:-}" ]; then
  exec scripts/with-postgres "$0" "$build" "$rows" "$repeat"
fi

ext="$build/extensions/postgres"
[ -f "$ext/pellory.so" ] || { echo "no $ext/pellory.so: cmake --build $build --target pellory_pg" >&2; exit 1; }
pkglib=$(pg_config --pkglibdir)
share=$(pg_config --sharedir)/extension
if [ ! -w "$pkglib" ] || [ ! -w "$share" ]; then
  echo "cannot write $pkglib and $share: run as root" >&2
  exit 1
fi
# Through a new name and a rename: a running server keeps the file it mapped.
for f in "$ext/pellory.so:$pkglib" "$ext/pellory.control:$share" "$ext/pellory--1.0.sql:$share"; do
  cp "${f%%:*}" "${f#*:}/.pellory.new" && mv "${f#*:}/.pellory.new" "${f#*:}/$(basename "${f%%:*}")"
done

sql() { PGOPTIONS="-c client_min_messages=warning" psql "$PELLORY_PG" -X -q -v ON_ERROR_STOP=1 "$@"; }

sql -c "DROP EXTENSION IF EXISTS pellory CASCADE" -c "CREATE EXTENSION pellory" -c "DROP TABLE IF EXISTS bench"
echo "generating $rows rows ..."
sql >/dev/null <<SQL
SELECT setseed(0.25);
CREATE UNLOGGED TABLE bench AS
SELECT c::smallint AS class,
       ((c + floor(random() * 3)::int) % 7)::smallint AS d1, ((c * 2 + floor(random() * 4)::int) % 9)::smallint AS d2,
       floor(random() * 5)::int::smallint AS d3, ((c + floor(random() * 2)::int) % 5)::smallint AS d4,
       floor(random() * 8)::int::smallint AS d5, ((c * 3 + floor(random() * 3)::int) % 11)::smallint AS d6,
       floor(random() * 4)::int::smallint AS d7, ((c + floor(random() * 5)::int) % 6)::smallint AS d8,
       floor(random() * 6)::int::smallint AS d9, ((c + floor(random() * 2)::int) % 3)::smallint AS d10,
       c + random() AS f1, c * 0.5 + random() * 2 AS f2, random() * 10 AS f3, c * c + random() AS f4,
       random() - c AS f5, c * 1.5 + random() * 3 AS f6, random() * 100 AS f7, c + random() * 0.1 AS f8,
       random() * c AS f9, 2 * random() AS f10
FROM (SELECT i % 5 AS c FROM generate_series(1, $rows) AS i) AS g;
VACUUM ANALYZE bench;
ALTER TABLE bench SET (parallel_workers = 2);
SQL

discrete="ARRAY[d1::int4, d2::int4, d3::int4, d4::int4, d5::int4, d6::int4, d7::int4, d8::int4, d9::int4, d10::int4]"
floats="ARRAY[f1, f2, f3, f4, f5, f6, f7, f8, f9, f10]"
floor_sql="SELECT count(*), avg(f1), avg(f2), avg(f3), avg(f4), avg(f5), avg(f6), avg(f7), avg(f8), avg(f9), avg(f10) FROM bench"
settings="SET parallel_setup_cost = 0; SET parallel_tuple_cost = 0; SET min_parallel_table_scan_size = 0;"

now() { date +%s%N; }
# Fastest and slowest of REPEAT runs of SQL with WORKERS workers, in seconds.
timed() {
  workers=$1
  query=$2
  best="" worst=""
  i=0
  while [ "$i" -lt "$repeat" ]; do
    start=$(now)
    sql -c "$settings SET max_parallel_workers_per_gather = $workers;" -c "$query" >/dev/null
    t=$(( $(now) - start ))
    [ -z "$best" ] || [ "$t" -lt "$best" ] && best=$t
    [ -z "$worst" ] || [ "$t" -gt "$worst" ] && worst=$t
    i=$((i + 1))
  done
  echo "$best $worst" | awk '{ printf "%.3f s (slowest %.3f s)", $1 / 1e9, $2 / 1e9 }'
}

echo "machine: $(nproc) cores; PostgreSQL $(pg_config --version | cut -d' ' -f2); $rows rows; fastest of $repeat"
for kind in lc nb; do
  for workers in 0 1 2; do
    echo "workers $workers  scan floor        $(timed "$workers" "$floor_sql")"
    echo "workers $workers  pellory_learn $kind  $(timed "$workers" "SELECT length(pellory_learn('$kind', class::int4, $discrete, $floats)) FROM bench")"
  done
done
sql -c "SET max_parallel_workers_per_gather = 0" \
    -c "CREATE TABLE bench_model AS SELECT pellory_learn('lc', class::int4, $discrete, $floats) AS m FROM bench"
for workers in 0 2; do
  # The model as a scalar subquery: read once (an init plan), passed to every row.
  echo "workers $workers  pellory_classify lc $(timed "$workers" "SELECT count(pellory_classify((SELECT m FROM bench_model), $discrete, $floats)) FROM bench")"
done
