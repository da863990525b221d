// The schema `palvo` a PostgreSQL database holds for T-SQL: SQL Server's
// functions under their own names with SQL Server's answers, '+' on text and
// between text and numbers or dates, the identity a connection made last, the
// collation text columns take, and the catalogue (syscolumns, OBJECT_NAME,
// TYPE_NAME) the library reads. Each connection runs this block as it opens; it
// installs the schema once per version, under a lock, so that connections
// opening together do not install it twice. The objects are replaced, never
// dropped: a host's tables and views may depend on them.
#include <string>

#include "postgres.h"

namespace Palvo::dialect {

namespace {

// the version check, the lock, the schema, its collations and the names' type
constexpr std::string_view kHead = R"SQL(do $install$
declare
  wanted constant integer := 6;  -- raised with every change below, so that an upgrade installs it
begin
  if to_regclass('palvo.runtime') is not null then
    if exists (select 1 from palvo.runtime where version = wanted) then
      return;
    end if;
  end if;
  perform pg_advisory_xact_lock(7238501);
  create schema if not exists palvo;
  create table if not exists palvo.runtime (version integer not null);
  if exists (select 1 from palvo.runtime where version = wanted) then
    return;
  end if;

  -- Chinese_PRC_CI_AS: by pinyin, Latin letters before Han, equal without regard to case
  if not exists (select 1 from pg_collation where collname = 'zh'
                 and collnamespace = 'palvo'::regnamespace) then
    create collation palvo.zh (provider = icu, locale = 'zh-u-kr-latn-hani-ks-level2', deterministic = false);
  end if;
  -- names compare as SQL Server's do, without regard to case
  if not exists (select 1 from pg_collation where collname = 'names'
                 and collnamespace = 'palvo'::regnamespace) then
    create collation palvo.names (provider = icu, locale = 'und-u-ks-level2', deterministic = false);
  end if;
  if to_regtype('palvo.sysname') is null then
    create domain palvo.sysname as text collate palvo.names;
  end if;

)SQL";

// '+' on text, numbers and dates
constexpr std::string_view kOperators =
    R"SQL(  -- (the bodies below name pg_catalog's function where the schema has one of the same name)

  -- '+': text joins text; text beside a number becomes that number, as SQL Server converts it;
  -- a number added to a date adds days
  create or replace function palvo.text_plus(text, text) returns text
    language sql immutable as $b$ select $1 || $2 $b$;
  create or replace function palvo.text_plus(text, integer) returns integer
    language sql immutable as $b$ select cast($1 as integer) + $2 $b$;
  create or replace function palvo.text_plus(integer, text) returns integer
    language sql immutable as $b$ select $1 + cast($2 as integer) $b$;
  create or replace function palvo.text_plus(text, numeric) returns numeric
    language sql immutable as $b$ select cast($1 as numeric) + $2 $b$;
  create or replace function palvo.text_plus(numeric, text) returns numeric
    language sql immutable as $b$ select $1 + cast($2 as numeric) $b$;
  create or replace function palvo.days_plus(timestamp, double precision) returns timestamp
    language sql immutable as $b$ select $1 + $2 * interval '1 day' $b$;
  create or replace function palvo.days_minus(timestamp, double precision) returns timestamp
    language sql immutable as $b$ select $1 - $2 * interval '1 day' $b$;
  if not exists (select 1 from pg_operator where oprname = '+' and oprnamespace = 'palvo'::regnamespace) then
    create operator palvo.+ (leftarg = text, rightarg = text, function = palvo.text_plus);
    create operator palvo.+ (leftarg = text, rightarg = integer, function = palvo.text_plus);
    create operator palvo.+ (leftarg = integer, rightarg = text, function = palvo.text_plus);
    create operator palvo.+ (leftarg = text, rightarg = numeric, function = palvo.text_plus);
    create operator palvo.+ (leftarg = numeric, rightarg = text, function = palvo.text_plus);
    create operator palvo.+ (leftarg = timestamp, rightarg = double precision, function = palvo.days_plus);
    create operator palvo.- (leftarg = timestamp, rightarg = double precision, function = palvo.days_minus);
  end if;

)SQL";

// the date functions and CONVERT's styles
constexpr std::string_view kDates = R"SQL(  -- dates
  create or replace function palvo.getdate() returns timestamp
    language sql volatile as $b$ select cast(clock_timestamp() as timestamp(3)) $b$;
  create or replace function palvo.getutcdate() returns timestamp
    language sql volatile as $b$ select cast(clock_timestamp() at time zone 'utc' as timestamp(3)) $b$;
  create or replace function palvo.year(timestamp) returns integer
    language sql immutable as $b$ select cast(extract(year from $1) as integer) $b$;
  create or replace function palvo.month(timestamp) returns integer
    language sql immutable as $b$ select cast(extract(month from $1) as integer) $b$;
  create or replace function palvo.day(timestamp) returns integer
    language sql immutable as $b$ select cast(extract(day from $1) as integer) $b$;
  create or replace function palvo.eomonth(timestamp) returns date
    language sql immutable as $b$ select cast(date_trunc('month', $1) + interval '1 month - 1 day' as date) $b$;
  -- SQL Server counts the boundaries crossed: a week starts on Sunday
  create or replace function palvo.datediff(part text, a timestamp, b timestamp) returns integer
    language sql immutable as $b$
    select cast(case part
      when 'year' then extract(year from b) - extract(year from a)
      when 'quarter' then (extract(year from b) * 4 + extract(quarter from b))
                        - (extract(year from a) * 4 + extract(quarter from a))
      when 'month' then (extract(year from b) * 12 + extract(month from b))
                      - (extract(year from a) * 12 + extract(month from a))
      when 'week' then ((cast(b as date) - cast(extract(dow from b) as integer))
                      - (cast(a as date) - cast(extract(dow from a) as integer))) / 7
      when 'hour' then (extract(epoch from date_trunc('hour', b)) - extract(epoch from date_trunc('hour', a))) / 3600
      when 'minute' then (extract(epoch from date_trunc('minute', b))
                        - extract(epoch from date_trunc('minute', a))) / 60
      when 'second' then extract(epoch from date_trunc('second', b)) - extract(epoch from date_trunc('second', a))
      when 'millisecond' then round((extract(epoch from b) - extract(epoch from a)) * 1000)
      else cast(b as date) - cast(a as date) end as integer) $b$;
  create or replace function palvo.dateadd(part text, n integer, d timestamp) returns timestamp
    language sql immutable as $b$
    select case part
      when 'year' then d + n * interval '1 year'
      when 'quarter' then d + n * interval '3 months'
      when 'month' then d + n * interval '1 month'
      when 'week' then d + n * interval '7 days'
      when 'hour' then d + n * interval '1 hour'
      when 'minute' then d + n * interval '1 minute'
      when 'second' then d + n * interval '1 second'
      when 'millisecond' then d + n * interval '1 millisecond'
      else d + n * interval '1 day' end $b$;
  create or replace function palvo.datepart(part text, d timestamp) returns integer
    language sql immutable as $b$
    select cast(case part
      when 'year' then extract(year from d)
      when 'quarter' then extract(quarter from d)
      when 'month' then extract(month from d)
      when 'dayofyear' then extract(doy from d)
      when 'week' then (extract(doy from d) + extract(dow from date_trunc('year', d)) - 1) / 7 + 1
      when 'weekday' then extract(dow from d) + 1
      when 'hour' then extract(hour from d)
      when 'minute' then extract(minute from d)
      when 'second' then floor(extract(second from d))
      when 'millisecond' then cast(extract(milliseconds from d) as integer) % 1000
      else extract(day from d) end as integer) $b$;
  -- CONVERT's styles of a date as text
  create or replace function palvo.convert_style(d timestamp, style integer) returns text
    language sql immutable as $b$
    select case style
      when 20 then to_char(d, 'YYYY-MM-DD HH24:MI:SS') when 120 then to_char(d, 'YYYY-MM-DD HH24:MI:SS')
      when 21 then to_char(d, 'YYYY-MM-DD HH24:MI:SS.MS') when 121 then to_char(d, 'YYYY-MM-DD HH24:MI:SS.MS')
      when 23 then to_char(d, 'YYYY-MM-DD') when 126 then to_char(d, 'YYYY-MM-DD"T"HH24:MI:SS.MS')
      when 112 then to_char(d, 'YYYYMMDD') when 12 then to_char(d, 'YYMMDD')
      when 102 then to_char(d, 'YYYY.MM.DD') when 2 then to_char(d, 'YY.MM.DD')
      when 111 then to_char(d, 'YYYY/MM/DD') when 11 then to_char(d, 'YY/MM/DD')
      when 101 then to_char(d, 'MM/DD/YYYY') when 1 then to_char(d, 'MM/DD/YY')
      when 103 then to_char(d, 'DD/MM/YYYY') when 3 then to_char(d, 'DD/MM/YY')
      when 8 then to_char(d, 'HH24:MI:SS') when 108 then to_char(d, 'HH24:MI:SS')
      end $b$;
  create or replace function palvo.convert_style(d date, style integer) returns text
    language sql immutable as $b$ select palvo.convert_style(cast(d as timestamp), style) $b$;
  create or replace function palvo.convert_style(t text, style integer) returns text
    language sql immutable as $b$ select t $b$;
  create or replace function palvo.convert_style(n numeric, style integer) returns text
    language sql immutable as $b$ select cast(n as text) $b$;

)SQL";

// the text functions and LIKE
constexpr std::string_view kText = R"SQL(  -- text
  create or replace function palvo.len(text) returns integer
    language sql immutable as $b$ select length(rtrim($1, ' ')) $b$;
  create or replace function palvo.len(anyelement) returns integer
    language sql immutable as $b$ select length(rtrim(cast($1 as text), ' ')) $b$;
  create or replace function palvo.charindex(sought text, s text) returns integer
    language sql immutable as $b$ select strpos(lower(s) collate "C", lower(sought) collate "C") $b$;
  create or replace function palvo.charindex(sought text, s text, start integer) returns integer
    language sql immutable as $b$
    select case when start <= 1 then strpos(lower(s) collate "C", lower(sought) collate "C")
                when strpos(lower(substr(s, start)) collate "C", lower(sought) collate "C") = 0 then 0
                else strpos(lower(substr(s, start)) collate "C", lower(sought) collate "C") + start - 1 end $b$;
  create or replace function palvo.space(integer) returns text
    language sql immutable as $b$ select repeat(' ', $1) $b$;
  create or replace function palvo.replicate(text, integer) returns text
    language sql immutable as $b$ select repeat($1, $2) $b$;
  -- a code out of range is Null, as SQL Server gives it
  create or replace function palvo.char(integer) returns text
    language sql immutable as $b$ select case when $1 between 0 and 255 then chr($1) end $b$;
  create or replace function palvo.nchar(integer) returns text
    language sql immutable as $b$ select case when $1 between 0 and 65535 then chr($1) end $b$;
  -- of an empty text, Null
  create or replace function palvo.unicode(text) returns integer
    language sql immutable as $b$ select case when length($1) > 0 then pg_catalog.ascii($1) end $b$;
  create or replace function palvo.ascii(text) returns integer
    language sql immutable as $b$ select case when length($1) > 0 then pg_catalog.ascii($1) end $b$;
  -- STUFF: NULL when the stretch starts outside the text or its length is negative
  create or replace function palvo.stuff(s text, start integer, n integer, put text) returns text
    language sql immutable as $b$
    select case when start < 1 or start > length(s) or n < 0 then null
                else overlay(s placing coalesce(put, '') from start for n) end $b$;
  -- PATINDEX: where the first stretch LIKE matches begins, 0 when none
  create or replace function palvo.patindex(p text, s text) returns integer
    language plpgsql immutable strict as $b$
    begin
      if left(p, 1) <> '%' then
        return case when palvo.like(s, p) then 1 else 0 end;
      end if;
      for i in 1 .. length(s) loop
        if palvo.like(substr(s, i), substr(p, 2)) then
          return i;
        end if;
      end loop;
      return 0;
    end $b$;
  -- STR: the number rounded, right-aligned in its length; fewer decimals where it does not fit, stars
  -- where its whole part does not
  create or replace function palvo.str(x double precision, len integer default 10, decimals integer default 0)
    returns text language plpgsql immutable strict as $b$
    declare
      t text;
    begin
      for d in reverse least(greatest(decimals, 0), 16) .. 0 loop
        t := cast(pg_catalog.round(cast(x as numeric), d) as text);
        if length(t) <= len then
          return lpad(t, len);
        end if;
      end loop;
      return repeat('*', len);
    end $b$;

  -- LIKE with SQL Server's patterns ([a-c], [^a], no escape character unless given) and
  -- without regard to case; the pattern becomes a regular expression once per statement
  create or replace function palvo.like_pattern(p text) returns text
    language plpgsql immutable strict as $b$
    declare
      r text := '^';
      i integer := 1;
      n integer := length(p);
      c text;
      close integer;
      body text;
    begin
      while i <= n loop
        c := substr(p, i, 1);
        if c = '%' then
          r := r || '.*';
        elsif c = '_' then
          r := r || '.';
        elsif c = '[' then
          close := strpos(substr(p, i + 2), ']');
          if close = 0 then
            r := r || '\[';
          else
            body := substr(p, i + 1, close);
            if left(body, 1) = '^' then
              r := r || '[^' || regexp_replace(substr(body, 2), '([\\\]\[^])', '\\\1', 'g') || ']';
            else
              r := r || '[' || regexp_replace(body, '([\\\]\[^])', '\\\1', 'g') || ']';
            end if;
            i := i + close + 1;
          end if;
        else
          r := r || regexp_replace(c, '([.^$*+?()\[\]{}|\\])', '\\\1');
        end if;
        i := i + 1;
      end loop;
      return r || '$';
    end $b$;
  create or replace function palvo.like(s text, p text) returns boolean
    language sql immutable as $b$
    select lower(s) collate "C" operator(pg_catalog.~) palvo.like_pattern(lower(p) collate "C") $b$;
  -- LIKE ... ESCAPE c: each character after c stands for itself, as a class of its own
  create or replace function palvo.like_escaped(p text, e text) returns text
    language plpgsql immutable strict as $b$
    declare
      r text := '';
      i integer := 1;
      c text;
    begin
      if length(e) <> 1 then
        raise exception 'The invalid escape character "%" was specified in a LIKE predicate.', e
          using errcode = '22025';
      end if;
      while i <= length(p) loop
        c := substr(p, i, 1);
        if c = e and i < length(p) then
          c := substr(p, i + 1, 1);
          r := r || case when c in ('%', '_', '[') then '[' || c || ']' else c end;
          i := i + 2;
        else
          r := r || c;
          i := i + 1;
        end if;
      end loop;
      return r;
    end $b$;
  create or replace function palvo.not_like(s text, p text) returns boolean
    language sql immutable as $b$ select not palvo.like(s, p) $b$;
  if not exists (select 1 from pg_operator where oprname = '~~' and oprnamespace = 'palvo'::regnamespace) then
    create operator palvo.~~ (leftarg = text, rightarg = text, function = palvo.like);
    create operator palvo.!~~ (leftarg = text, rightarg = text, function = palvo.not_like);
  end if;

)SQL";

// ISNULL, IIF, NEWID, the number functions, the identity
constexpr std::string_view kValues = R"SQL(  -- values
  -- a number's whole part, which a cast to a whole type keeps; a text is cast as it is
  create or replace function palvo.int_part(numeric) returns numeric
    language sql immutable as $b$ select trunc($1) $b$;
  create or replace function palvo.int_part(double precision) returns double precision
    language sql immutable as $b$ select trunc($1) $b$;
  create or replace function palvo.int_part(bigint) returns bigint
    language sql immutable as $b$ select $1 $b$;
  create or replace function palvo.int_part(integer) returns integer
    language sql immutable as $b$ select $1 $b$;
  create or replace function palvo.int_part(smallint) returns smallint
    language sql immutable as $b$ select $1 $b$;
  create or replace function palvo.int_part(text) returns text
    language sql immutable as $b$ select $1 $b$;
  create or replace function palvo.isnull(anycompatible, anycompatible) returns anycompatible
    language sql immutable as $b$ select coalesce($1, $2) $b$;
  create or replace function palvo.iif(boolean, anycompatible, anycompatible) returns anycompatible
    language sql immutable as $b$ select case when $1 then $2 else $3 end $b$;
  create or replace function palvo.newid() returns uuid
    language sql volatile as $b$ select gen_random_uuid() $b$;
  create or replace function palvo.ceiling(numeric) returns numeric
    language sql immutable as $b$ select ceil($1) $b$;
  create or replace function palvo.ceiling(double precision) returns double precision
    language sql immutable as $b$ select ceil($1) $b$;
  create or replace function palvo.square(double precision) returns double precision
    language sql immutable as $b$ select $1 * $1 $b$;
  create or replace function palvo.log10(double precision) returns double precision
    language sql immutable as $b$ select log($1) $b$;
  -- a decimal keeps its scale: round(748.58, -2) is 700.00
  create or replace function palvo.round(numeric, integer) returns numeric
    language sql immutable as $b$ select trunc(pg_catalog.round($1, $2), scale($1)) $b$;
  create or replace function palvo.round(numeric, integer, integer) returns numeric
    language sql immutable as $b$
    select trunc(case when $3 = 0 then pg_catalog.round($1, $2) else trunc($1, $2) end, scale($1)) $b$;
  create or replace function palvo.round(double precision, integer) returns double precision
    language sql immutable as $b$ select cast(round(cast($1 as numeric), $2) as double precision) $b$;
  create or replace function palvo.round(double precision, integer, integer) returns double precision
    language sql immutable as $b$ select cast(palvo.round(cast($1 as numeric), $2, $3) as double precision) $b$;
  -- @@IDENTITY and SCOPE_IDENTITY(): NULL before the connection's first identity
  create or replace function palvo.identity() returns numeric
    language plpgsql volatile as $b$
    begin
      return lastval();
    exception when object_not_in_prerequisite_state then
      return null;
    end $b$;

)SQL";

// syscolumns, OBJECT_NAME, OBJECT_ID, TYPE_NAME, and the version recorded
constexpr std::string_view kCatalogue =
    R"SQL(  -- the catalogue: each table and view of the connection's search path with its columns
  -- numbered and typed as SQL Server's syscolumns gives them
  create or replace function palvo.xtype(t text) returns integer
    language sql immutable as $b$
    select case
      when t = 'integer' then 56 when t = 'bigint' then 127 when t = 'smallint' then 52
      when left(t, 7) = 'numeric' then 106 when t = 'double precision' then 62 when t = 'real' then 59
      when left(t, 17) = 'character varying' then 167 when left(t, 9) = 'character' then 175 when t = 'text' then 231
      when t = 'timestamp(3) without time zone' then 61 when t = 'timestamp(0) without time zone' then 58
      when left(t, 9) = 'timestamp' then 42 when t = 'date' then 40 when left(t, 4) = 'time' then 41
      when t = 'uuid' then 36 when t = 'bytea' then 165 when t = 'boolean' then 104
      else 0 end $b$;
  create or replace function palvo.type_name(integer) returns palvo.sysname
    language sql immutable as $b$
    select cast(case $1
      when 56 then 'int' when 127 then 'bigint' when 52 then 'smallint' when 106 then 'decimal'
      when 62 then 'float' when 59 then 'real' when 167 then 'varchar' when 175 then 'char'
      when 231 then 'nvarchar' when 61 then 'datetime' when 58 then 'smalldatetime' when 42 then 'datetime2'
      when 40 then 'date' when 41 then 'time' when 36 then 'uniqueidentifier' when 165 then 'varbinary'
      when 104 then 'bit' end as palvo.sysname) $b$;
  create or replace function palvo.object_name(integer) returns palvo.sysname
    language sql stable as $b$
    select cast(relname as palvo.sysname) from pg_class where cast(oid as bigint) = $1 $b$;
  -- OBJECT_ID(name, type): a table (U) or view (V), or a procedure (P), function (FN, IF) or trigger (TR)
  -- of the library's module table (any of them for the type ''), numbered past the tables' numbers
  create or replace function palvo.object_id(text, text) returns integer
    language plpgsql stable as $b$
    declare
      kind text := upper(btrim($2));
      bare text := lower(regexp_replace($1, '^(\[?dbo\]?\.)?\[?([^]]*)\]?$', '\2', 'i'));
      found integer;
    begin
      if kind in ('U', 'V') then
        select cast(cast(c.oid as bigint) as integer) into found from pg_class c
        join pg_namespace n on n.oid = c.relnamespace
        where n.nspname = any (current_schemas(false)) and n.nspname <> 'palvo' and lower(c.relname) = bare
          and (c.relkind in ('r', 'p') and kind = 'U' or c.relkind = 'v' and kind = 'V')
        limit 1;
        return found;
      end if;
      if to_regclass('palvo_modules') is null then
        return null;
      end if;
      execute 'select 1073741824 + (hashtext(lower(name)) & 1073741823) from palvo_modules '
              'where lower(name) = $1 and (type = $2 or $3) limit 1' into found using bare, kind, kind = '';
      return found;
    end $b$;
  -- OBJECT_ID(name): the table or view, else the module
  create or replace function palvo.object_id(text) returns integer
    language sql stable as $b$
    select coalesce(palvo.object_id($1, 'U'), palvo.object_id($1, 'V'), palvo.object_id($1, '')) $b$;
  create or replace view palvo.syscolumns as
    select cast(cast(c.oid as bigint) as integer) as id, cast(a.attname as palvo.sysname) as name,
           cast(a.attnum as smallint) as colid, palvo.xtype(format_type(a.atttypid, a.atttypmod)) as xtype,
           cast(case when a.attlen > 0 then a.attlen
                     when a.atttypmod > 4 and a.atttypid in (1042, 1043) then a.atttypmod - 4
                     else -1 end as smallint) as length,
           case when a.attnotnull then 0 else 1 end as isnullable
    from pg_class c join pg_attribute a on a.attrelid = c.oid join pg_namespace n on n.oid = c.relnamespace
    where c.relkind in ('r', 'v', 'p') and a.attnum > 0 and not a.attisdropped
      and n.nspname = any (current_schemas(false)) and n.nspname <> 'palvo';

  delete from palvo.runtime;
  insert into palvo.runtime values (wanted);
end
$install$
)SQL";

}  // namespace

std::string_view postgresRuntime() {
    // one statement: a block the server runs whole
    static const std::string block = [] {
        std::string b;
        for (std::string_view part : {kHead, kOperators, kDates, kText, kValues, kCatalogue}) b += part;
        return b;
    }();
    return block;
}

}  // namespace Palvo::dialect
