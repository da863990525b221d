#!/bin/sh
# Peak resident memory and time of `palvo report xlsx` and `palvo report pdf`
# at 10, 100,000 and 1,000,000 rows of a 10-column table (11 with the running
# numbers), measured with /usr/bin/time -v. Usage:
#   bench/report_memory.sh [PALVO] [ROWS...]
# PALVO defaults to build/release/apps/cli/palvo; the databases are made once
# in ${TMPDIR:-/tmp}/palvo_report_memory and kept between runs.
set -eu
palvo=${1:-build/release/apps/cli/palvo}
[ $# -gt 0 ] && shift
rows=${*:-10 100000 1000000}
dir=${TMPDIR:-/tmp}/palvo_report_memory
mkdir -p "$dir"

database() {
    db=$dir/goods_$1.db
    if [ ! -f "$db" ]; then
        "$palvo" sql --db "$db.part" "create table 货物 (编号 int primary key, 名称 nvarchar(20), 规格 varchar(20),
            单位 nvarchar(4), 数量 int, 单价 float, 金额 float, 日期 datetime, 类别 int, 备注 nvarchar(40))" >/dev/null
        done=0
        while [ "$done" -lt "$1" ]; do  # in parts, each well within the statement timeout
            part=$(( $1 - done < 100000 ? $1 - done : 100000 ))
            "$palvo" sql --db "$db.part" "with n(i) as (select 1 union all select i + 1 from n where i < $part)
                insert into 货物 select i + $done, N'钢管' + cast(i % 5 as varchar(10)),
                'Q235-' + cast(i % 97 as varchar(10)), N'吨', i % 1000, 3.5 + i % 7, 12.25 * (i % 13),
                dateadd(day, i % 300, '2003-01-01'), i % 9, N'第' + cast(i + $done as nvarchar(10)) + N'批'
                from n" >/dev/null
            done=$(( done + part ))
        done
        mv "$db.part" "$db"
    fi
    echo "$db"
}

measure() {  # KIND ROWS
    db=$(database "$2")
    out=$dir/report_$2.$1
    /usr/bin/time -v "$palvo" report "$1" --db "$db" --title 货物清单 --out "$out" \
        "select * from 货物 order by 编号" 2>"$dir/time.txt" >/dev/null || {
        cat "$dir/time.txt" >&2
        exit 1
    }
    peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$dir/time.txt")
    wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$dir/time.txt")
    printf '%-5s %8s rows  peak %7.1f MB  wall %s\n' "$1" "$2" "$(echo "$peak / 1024" | bc -l)" "$wall"
}

for n in $rows; do
    measure xlsx "$n"
    measure pdf "$n"
done
