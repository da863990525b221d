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
  wanted constant integer := 15;  -- raised with every change below, so that an upgrade installs it
begin
  if to_regclass('palvo.runtime') is not null then
    if exists (select 1 from palvo.runtime where version = wanted) then
      return;
    end if;
  end if;
  perform pg_advisory_xact_lock(7238501);
  create schema if not exists palvo;
  -- the server's PL/pgSQL functions of T-SQL user functions whose body is statements
  create schema if not exists palvo_functions;
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
  -- text the schema's functions give that sorts as the columns' text does
  if to_regtype('palvo.zh_text') is null then
    create domain palvo.zh_text as text collate palvo.zh;
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
  -- SUM of SQL Server's type: an int's sum an int (8115 past it), a bigint's a bigint, a decimal's a decimal,
  -- a smallint's (tinyint's) an int
  create or replace function palvo.sum_small(s integer, v smallint) returns integer
    language sql immutable as $b$ select case when v is null then s when s is null then v else s + v end $b$;
  drop aggregate if exists palvo.sum(integer);
  create aggregate palvo.sum(integer) (sfunc = int4pl, stype = integer);
  drop aggregate if exists palvo.sum(smallint);
  create aggregate palvo.sum(smallint) (sfunc = palvo.sum_small, stype = integer);
  drop aggregate if exists palvo.sum(bigint);
  create aggregate palvo.sum(bigint) (sfunc = int8pl, stype = bigint);
  drop aggregate if exists palvo.sum(numeric);
  create aggregate palvo.sum(numeric) (sfunc = numeric_add, stype = numeric);
  drop aggregate if exists palvo.sum(double precision);
  create aggregate palvo.sum(double precision) (sfunc = float8pl, stype = double precision);
  -- a datetime keeps 1/300 of a second (.000, .003, .007), from 1753 to 9999; a smalldatetime the minute
  create or replace function palvo.datetime(d timestamp) returns timestamp
    language plpgsql immutable strict as $b$
    declare
      whole timestamp := date_trunc('second', d);
      r timestamp := whole + round(round(extract(epoch from d - whole) * 300) * 10 / 3.0) * interval '1 millisecond';
    begin
      if r < timestamp '1753-01-01' or r >= timestamp '10000-01-01' then
        raise exception using errcode = '22008', message =
          'The conversion of a varchar data type to a datetime data type resulted in an out-of-range value.';
      end if;
      return r;
    end $b$;
  create or replace function palvo.smalldatetime(d timestamp) returns timestamp
    language sql immutable strict as $b$
    select date_trunc('minute', palvo.datetime(d) + interval '30 seconds') $b$;
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
      when 'week' then floor((extract(doy from d) + extract(dow from date_trunc('year', d)) - 1) / 7) + 1
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
  -- a negative count is Null, as SQL Server gives it
  create or replace function palvo.space(integer) returns text
    language sql immutable as $b$ select case when $1 >= 0 then repeat(' ', $1) end $b$;
  create or replace function palvo.replicate(text, integer) returns text
    language sql immutable as $b$ select case when $2 >= 0 then repeat($1, $2) end $b$;
  -- a code out of range is Null, as SQL Server gives it
  create or replace function palvo.char(integer) returns text
    language sql immutable as $b$ select case when $1 between 0 and 255 then chr($1) end $b$;
  create or replace function palvo.nchar(integer) returns text
    language sql immutable as $b$ select case when $1 between 0 and 65535 then chr($1) end $b$;
  -- of an empty text, Null
  create or replace function palvo.unicode(text) returns integer
    language sql immutable as $b$ select case when length($1) > 0 then pg_catalog.ascii($1) end $b$;
  -- ASCII: the first byte of the first character in the code page of Chinese_PRC (936), '?' (63) for one
  -- it does not hold
  create or replace function palvo.ascii(text) returns integer
    language plpgsql immutable as $b$
    begin
      if length($1) > 0 then
        return get_byte(convert_to(left($1, 1), 'GBK'), 0);
      end if;
      return null;
    exception when untranslatable_character then
      return 63;
    end $b$;
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
  -- where its whole part does not. The float is rounded by its own digits: 123.35 is just below, 123.3
  create or replace function palvo.str(x double precision, len integer default 10, decimals integer default 0)
    returns text language plpgsql immutable strict as $b$
    declare
      t text;
    begin
      for d in reverse least(greatest(decimals, 0), 16) .. 0 loop
        t := cast(pg_catalog.round(cast(to_char(x, '9.9999999999999999EEEE') as numeric), d) as text);
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
  -- of a whole number, that number of its type
  create or replace function palvo.ceiling(integer) returns integer
    language sql immutable as $b$ select $1 $b$;
  create or replace function palvo.ceiling(bigint) returns bigint
    language sql immutable as $b$ select $1 $b$;
  create or replace function palvo.ceiling(smallint) returns smallint
    language sql immutable as $b$ select $1 $b$;
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

// the functions added for the answers T-SQL hosts expect: DATENAME, FORMAT, the text and number
// functions SQL Server has beyond PostgreSQL's, the table function STRING_SPLIT
constexpr std::string_view kMoreDates = R"SQL(  -- more dates
  -- the session's language: 简体中文 unless the connection says otherwise
  create or replace function palvo.english() returns boolean
    language sql stable as $b$ select coalesce(current_setting('palvo.language', true), '') = 'us_english' $b$;
  -- DATENAME: the month and the weekday by name in the session's language, the other parts as numbers
  create or replace function palvo.datename(part text, d timestamp) returns text
    language sql stable as $b$
    select case part
      when 'month' then case when palvo.english() then to_char(d, 'FMMonth') else to_char(d, 'MM') end
      when 'weekday' then case when palvo.english() then to_char(d, 'FMDay')
                               else '星期' || substr('日一二三四五六', cast(extract(dow from d) as integer) + 1, 1) end
      else cast(palvo.datepart(part, d) as text) end $b$;
  create or replace function palvo.datename(part text, d text) returns text
    language sql stable as $b$ select palvo.datename(part, cast(d as timestamp)) $b$;
  create or replace function palvo.eomonth(d timestamp, months integer) returns date
    language sql immutable as $b$
    select cast(date_trunc('month', d) + (months + 1) * interval '1 month' - interval '1 day' as date) $b$;
  create or replace function palvo.datefromparts(y integer, m integer, d integer) returns date
    language plpgsql immutable strict as $b$
    begin
      return make_date(y, m, d);
    exception when data_exception then
      raise exception using errcode = 'PV000',
        message = 'Cannot construct data type date, some of the arguments have values which are not valid.';
    end $b$;
  -- the parts of a time of day; a literal is read as a datetime
  create or replace function palvo.datepart(part text, t time) returns integer
    language sql immutable as $b$
    select cast(case part
      when 'hour' then extract(hour from t)
      when 'minute' then extract(minute from t)
      when 'second' then floor(extract(second from t))
      when 'millisecond' then floor(extract(milliseconds from t)) % 1000
      else palvo.datepart(part, cast(date '1900-01-01' + t as timestamp)) end as integer) $b$;
  create or replace function palvo.datepart(part text, d text) returns integer
    language sql immutable as $b$ select palvo.datepart(part, cast(d as timestamp)) $b$;
  create or replace function palvo.convert_style(t time, style integer) returns text
    language sql immutable as $b$ select palvo.convert_style(date '1900-01-01' + t, style) $b$;

)SQL";
constexpr std::string_view kMoreText = R"SQL(  -- more text
  -- QUOTENAME: between the delimiters, the closing one doubled inside; Null beyond 128 characters or for a
  -- character that delimits nothing
  create or replace function palvo.quotename(s text, q text default '[') returns text
    language sql immutable strict as $b$
    select case when length(s) > 128 then null
                when q in ('[', ']') then '[' || replace(s, ']', ']]') || ']'
                when q in ('(', ')') then '(' || replace(s, ')', '))') || ')'
                when q in ('<', '>') then '<' || replace(s, '>', '>>') || '>'
                when q in ('{', '}') then '{' || replace(s, '}', '}}') || '}'
                when q in ('"', '''', '`') then q || replace(s, q, q || q) || q end $b$;
  -- TRANSLATE: each character of the second text by the one at its place in the third
  create or replace function palvo.translate(s text, f text, t text) returns text
    language plpgsql immutable as $b$
    begin
      if length(f) <> length(t) then
        raise exception using errcode = 'PV000', message = 'The second and third arguments of the TRANSLATE '
          'built-in function must contain an equal number of characters.';
      end if;
      return pg_catalog.translate(s, f, t);
    end $b$;
  -- STRING_SPLIT: the pieces between the separator, empty ones too; none of Null. A function of SQL that
  -- PostgreSQL takes into the query, so that the pieces sort as the columns' text does
  create or replace function palvo.split_pieces(s text, separator text) returns text[]
    language plpgsql immutable as $b$
    begin
      if separator is null or length(separator) <> 1 then
        raise exception using errcode = 'PV000',
          message = 'Procedure expects parameter ''separator'' of type ''nchar(1)/nvarchar(1)''.';
      end if;
      -- (split by the characters themselves: a column's collation of Chinese_PRC cannot find substrings)
      return case when s = '' then array[''] else string_to_array(s collate "C", separator collate "C") end;
    end $b$;
  create or replace function palvo.string_split(s text, separator text) returns table (value palvo.zh_text)
    language sql immutable as $b$ select cast(v as palvo.zh_text) from unnest(palvo.split_pieces(s, separator)) v $b$;
  -- ISNUMERIC: 1 where the text converts to money or float
  create or replace function palvo.isnumeric(text) returns integer
    language sql immutable as $b$
    select case when $1 is null then 0
      when regexp_replace(regexp_replace($1, '^[ \t\n\r]+', ''), ' +$', '')
        ~ '^(([+-][$\\]?|[$\\][+-]?)?[0-9,]*(\.[0-9]*)?|[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eEdD][+-]?[0-9]+)?)$'
        and regexp_replace(regexp_replace($1, '^[ \t\n\r]+', ''), ' +$', '') <> '' then 1 else 0 end $b$;
  create or replace function palvo.isnumeric(double precision) returns integer
    language sql immutable as $b$ select case when $1 is null then 0 else 1 end $b$;

)SQL";
constexpr std::string_view kMoreValues = R"SQL(  -- more values
  -- TRY_CAST and TRY_CONVERT: the conversion `expr` writes of $1, Null where it fails on the value
  create or replace function palvo.try_cast(v anycompatible, expr text, r anyelement) returns anyelement
    language plpgsql stable as $b$
    begin
      execute 'select ' || expr into r using v;
      return r;
    exception when data_exception then
      return null;
    end $b$;
  -- a tinyint: a whole number from 0 to 255
  create or replace function palvo.tinyint(double precision) returns smallint
    language plpgsql immutable as $b$
    begin
      if $1 < 0 or $1 > 255 then
        raise exception using errcode = '22003',
          message = 'Arithmetic overflow error for data type tinyint, value = ' || $1 || '.';
      end if;
      return $1;
    end $b$;
  create or replace function palvo.tinyint(text) returns smallint
    language sql immutable as $b$ select palvo.tinyint(cast($1 as integer)) $b$;
  -- SIGN of a decimal keeps its scale: sign(-12.50) is -1.00
  create or replace function palvo.sign(numeric) returns numeric
    language sql immutable as $b$ select trunc(pg_catalog.sign($1), scale($1)) $b$;
  create or replace function palvo.sign(double precision) returns double precision
    language sql immutable as $b$ select pg_catalog.sign($1) $b$;
  -- POWER computes through a float and gives the type of its first argument: an int cut to its whole part,
  -- a decimal rounded to its scale; 8115 where the value does not fit that type (volatile, so that the
  -- planner never raises it ahead of the CASE that calls it)
  create or replace function palvo.power_overflow(what text, type text) returns numeric
    language plpgsql volatile as $b$
    begin
      raise exception using errcode = 'PV000',
        message = 'Arithmetic overflow error converting ' || what || ' to data type ' || type || '.';
    end $b$;
  create or replace function palvo.power(integer, double precision) returns integer
    language sql immutable as $b$
    select cast(case when abs(v) < 2147483648 then trunc(v) else palvo.power_overflow('expression', 'int') end
                as integer)
    from (select pg_catalog.power(cast($1 as double precision), $2) as v) p $b$;
  create or replace function palvo.power(bigint, double precision) returns bigint
    language sql immutable as $b$
    select cast(case when abs(v) < 9223372036854775808 then trunc(cast(v as numeric))
                     else palvo.power_overflow('expression', 'bigint') end as bigint)
    from (select pg_catalog.power(cast($1 as double precision), $2) as v) p $b$;
  create or replace function palvo.power(numeric, double precision) returns numeric
    language sql immutable as $b$
    select case when abs(v) < 10 ^ (38 - scale($1)) then pg_catalog.round(cast(v as numeric), scale($1))
                else palvo.power_overflow('float', 'numeric') end
    from (select pg_catalog.power(cast($1 as double precision), $2) as v) p $b$;
  create or replace function palvo.power(double precision, double precision) returns double precision
    language sql immutable as $b$ select pg_catalog.power($1, $2) $b$;
  -- the offset of LAG and LEAD: a whole number, not negative
  create or replace function palvo.lag_offset(numeric) returns integer
    language plpgsql immutable as $b$
    begin
      if $1 < 0 then
        raise exception using errcode = 'PV000',
          message = 'Offset parameter for Lag and Lead functions cannot be a negative value.';
      end if;
      return trunc($1);
    end $b$;
  -- IDENT_CURRENT: the table's last identity, of any session; its seed before the first
  create or replace function palvo.ident_current(tab text) returns numeric
    language plpgsql stable as $b$
    declare
      s text;
      v numeric;
    begin
      select pg_get_serial_sequence(pg_catalog.format('%I.%I', n.nspname, c.relname), a.attname) into s
        from pg_class c join pg_namespace n on n.oid = c.relnamespace join pg_attribute a on a.attrelid = c.oid
        where c.oid = palvo.object_id(tab) and a.attidentity <> '';
      if s is null then
        return null;
      end if;
      execute 'select last_value from ' || s into v;
      return v;
    end $b$;

)SQL";
// FORMAT: .NET's patterns of dates and numbers in zh-CN and en-US
constexpr std::string_view kFormat = R"SQL(  -- FORMAT
  -- the culture named, else the session's language's: true for en-US
  create or replace function palvo.format_english(culture text) returns boolean
    language plpgsql stable as $b$
    begin
      if culture is null then
        return palvo.english();
      elsif lower(culture) in ('en-us', 'zh-cn') then
        return lower(culture) = 'en-us';
      end if;
      raise exception using errcode = 'PV000',
        message = 'The culture parameter ''' || culture || ''' provided in the function call is not supported.';
    end $b$;
  create or replace function palvo.format_refused(p text, what text) returns text
    language plpgsql immutable as $b$
    begin
      raise exception using errcode = '0A000',
        message = 'Not supported on PostgreSQL: the FORMAT pattern ''' || p || ''' for ' || what || '.';
    end $b$;
  -- a date by the letters yyyy yy y MMMM MMM MM M dddd ddd dd d HH H hh h mm m ss s f... tt t, quoted or
  -- escaped text as it is, d and D the culture's short and long dates
  create or replace function palvo.format_as(d timestamp, p text, culture text) returns text
    language plpgsql stable as $b$
    declare
      en boolean := palvo.format_english(culture);
      out text := '';
      i integer := 1;
      n integer;
      c text;
      close integer;
      h12 integer;
    begin
      if d is null or p is null then
        return null;
      elsif p = 'd' then
        p := case when en then 'M/d/yyyy' else 'yyyy/M/d' end;
      elsif p = 'D' then
        p := case when en then 'dddd, MMMM d, yyyy' else 'yyyy''年''M''月''d''日''' end;
      elsif length(p) = 1 then
        return palvo.format_refused(p, 'a date');
      end if;
      h12 := case when extract(hour from d) in (0, 12) then 12 else cast(extract(hour from d) as integer) % 12 end;
      while i <= length(p) loop
        c := substr(p, i, 1);
        n := length(substring(substr(p, i) from '^(' || case when c ~ '[A-Za-z]' then c else 'x' end || '+)'));
        n := coalesce(nullif(n, 0), 1);
        if c = 'y' then
          out := out || case when n = 1 then cast(cast(extract(year from d) as integer) % 100 as text)
                             when n = 2 then to_char(d, 'YY') else lpad(to_char(d, 'FMYYYY'), greatest(n, 4), '0') end;
        elsif c = 'M' then
          out := out || case when n = 1 then to_char(d, 'FMMM') when n = 2 then to_char(d, 'MM')
                             when en and n = 3 then to_char(d, 'Mon') when en then to_char(d, 'FMMonth')
                             when n = 3 then to_char(d, 'FMMM') || '月'
                             else (array['一月', '二月', '三月', '四月', '五月', '六月', '七月', '八月', '九月',
                                         '十月', '十一月', '十二月'])[extract(month from d)] end;
        elsif c = 'd' then
          out := out || case when n = 1 then to_char(d, 'FMDD') when n = 2 then to_char(d, 'DD')
                             when en and n = 3 then to_char(d, 'Dy') when en then to_char(d, 'FMDay')
                             when n = 3 then '周' || substr('日一二三四五六', cast(extract(dow from d) as integer) + 1, 1)
                             else '星期' || substr('日一二三四五六', cast(extract(dow from d) as integer) + 1, 1) end;
        elsif c = 'H' then
          out := out || case when n = 1 then to_char(d, 'FMHH24') else to_char(d, 'HH24') end;
        elsif c = 'h' then
          out := out || case when n = 1 then cast(h12 as text) else lpad(cast(h12 as text), 2, '0') end;
        elsif c = 'm' then
          out := out || case when n = 1 then to_char(d, 'FMMI') else to_char(d, 'MI') end;
        elsif c = 's' then
          out := out || case when n = 1 then to_char(d, 'FMSS') else to_char(d, 'SS') end;
        elsif c = 'f' then
          if n > 7 then
            return palvo.format_refused(p, 'a date');
          end if;
          out := out || left(to_char(d, 'MS') || '0000', n);
        elsif c = 't' then
          out := out || left(case when extract(hour from d) < 12 then case when en then 'AM' else '上午' end
                                  when en then 'PM' else '下午' end, case when n = 1 then 1 else 2 end);
        elsif c in ('''', '"') then
          close := strpos(substr(p, i + 1), c);
          if close = 0 then
            return palvo.format_refused(p, 'a date');
          end if;
          out := out || substr(p, i + 1, close - 1);
          n := close + 1;
        elsif c = '\' then
          out := out || substr(p, i + 1, 1);
          n := 2;
        elsif c in ('g', 'z', 'K', 'F', '%') then
          return palvo.format_refused(p, 'a date');
        else
          out := out || repeat(c, n);
        end if;
        i := i + n;
      end loop;
      return out;
    end $b$;
  -- the digits of |v| rounded half away from zero to `decimals` places, trailing zeros beyond `min_dec`
  -- dropped, at least `min_int` digits before the point, grouped by thousands when asked
  create or replace function palvo.format_digits(v numeric, decimals integer, min_dec integer, min_int integer,
                                                 grouped boolean) returns text
    language plpgsql immutable as $b$
    declare
      t text := cast(pg_catalog.round(abs(v), decimals) as text);
      whole text := split_part(t, '.', 1);
      frac text := split_part(t, '.', 2);
    begin
      while length(frac) > min_dec and right(frac, 1) = '0' loop
        frac := left(frac, -1);
      end loop;
      if whole = '0' and min_int = 0 then
        whole := '';
      end if;
      whole := lpad(whole, greatest(min_int, length(whole)), '0');
      if grouped then
        whole := regexp_replace(whole, '(\d)(?=(\d{3})+$)', '\1,', 'g');
      end if;
      return case when frac = '' then whole else whole || '.' || frac end;
    end $b$;
  -- a number by N, F or P with up to two digits of decimals, or by 0 # , . with text (and %) around
  create or replace function palvo.format_as(v numeric, p text, culture text) returns text
    language plpgsql stable as $b$
    declare
      en boolean := palvo.format_english(culture);
      kind text := upper(left(p, 1));
      decimals integer;
      out text;
      first integer;
      last integer;
      body text;
      prefix text;
      suffix text;
      int_part text;
      dec_part text;
      min_int integer := 0;
    begin
      if v is null or p is null then
        return null;
      end if;
      if kind in ('N', 'F', 'P') and length(p) <= 3 and substr(p, 2) ~ '^[0-9]*$' then
        decimals := coalesce(cast(nullif(substr(p, 2), '') as integer), 2);
        if kind = 'P' then
          v := v * 100;
        end if;
        out := palvo.format_digits(v, decimals, decimals, 1, kind <> 'F');
        if kind = 'P' then
          out := out || case when en then ' %' else '%' end;
        end if;
        return case when v < 0 and pg_catalog.round(abs(v), decimals) <> 0 then '-' || out else out end;
      end if;
      first := length(substring(p from '^[^0#.]*')) + 1;
      last := length(p) - length(substring(p from '[^0#.]*$'));
      if first > last then
        return palvo.format_refused(p, 'a number');
      end if;
      body := substr(p, first, last - first + 1);
      prefix := left(p, first - 1);
      suffix := substr(p, last + 1);
      int_part := split_part(body, '.', 1);
      dec_part := substr(body, length(int_part) + 2);
      if body !~ '[0#]' or body !~ '^[0#,]*(\.[0#]*)?$' or right(int_part, 1) = ','
         or prefix || suffix ~ '[0#,.;\\''"A-Za-z]' then
        return palvo.format_refused(p, 'a number');
      end if;
      if strpos(int_part, '0') > 0 then
        min_int := length(replace(substr(int_part, strpos(int_part, '0')), ',', ''));
      end if;
      v := v * power(100::numeric, length(prefix || suffix) - length(replace(prefix || suffix, '%', '')));
      decimals := length(dec_part);
      out := palvo.format_digits(v, decimals, coalesce(length(substring(dec_part from '^.*0')), 0), min_int, strpos(int_part, ',') > 0);
      return case when v < 0 and pg_catalog.round(abs(v), decimals) <> 0 then '-' else '' end
             || prefix || out || suffix;
    end $b$;
  create or replace function palvo.format_as(v double precision, p text, culture text) returns text
    language sql stable as $b$ select palvo.format_as(cast(v as numeric), p, culture) $b$;
  create or replace function palvo.format_as(v bigint, p text, culture text) returns text
    language sql stable as $b$ select palvo.format_as(cast(v as numeric), p, culture) $b$;
  -- of text, what SQL Server says of a value FORMAT takes no pattern for
  create or replace function palvo.format_as(v text, p text, culture text) returns text
    language plpgsql stable as $b$
    begin
      if v is null or p is null then
        return null;
      end if;
      raise exception using errcode = 'PV000',
        message = 'Argument data type varchar is invalid for argument 1 of format function.';
    end $b$;

)SQL";
// syscolumns, OBJECT_NAME, OBJECT_ID, TYPE_NAME, and the version recorded
constexpr std::string_view kCatalogue =
    R"SQL(  -- FOR XML PATH: a value as element text, &, < and > and the control characters XML cannot hold bare
  -- (all but tab and line feed) as entities; a date as SQL Server writes it in XML
  create or replace function palvo.xml_text(v text) returns text
    language plpgsql immutable as $b$
    declare
      r text collate "C" := replace(replace(replace(v collate "C", '&', '&amp;'), '<', '&lt;'), '>', '&gt;');
    begin
      if r ~ '[\x01-\x08\x0b-\x1f]' then
        for c in 1..31 loop
          if c not in (9, 10) then
            r := replace(r, chr(c), '&#x' || upper(lpad(to_hex(c), 2, '0')) || ';');
          end if;
        end loop;
      end if;
      return r;
    end $b$;
  create or replace function palvo.xml_text(v numeric) returns text
    language sql immutable as $b$ select cast(v as text) $b$;
  create or replace function palvo.xml_text(v double precision) returns text
    language sql immutable as $b$ select cast(v as text) $b$;
  create or replace function palvo.xml_text(v timestamp) returns text
    language sql immutable as $b$
    select to_char(v, 'YYYY-MM-DD"T"HH24:MI:SS')
           || case when extract(microseconds from v) % 1000000 <> 0 then to_char(v, '.MS') else '' end $b$;
  create or replace function palvo.xml_text(v date) returns text
    language sql immutable as $b$ select to_char(v, 'YYYY-MM-DD') $b$;
  -- (... FOR XML PATH, TYPE).value('.', ...): the text of the XML, its entities undone (text columns'
  -- collation compares, never searches: these read the text as its bytes)
  create or replace function palvo.xml_value(v text) returns text
    language plpgsql immutable as $b$
    declare
      r text collate "C" := regexp_replace(v collate "C", '<[^>]*>', '', 'g');
    begin
      for c in 1..31 loop
        r := replace(r, '&#x' || upper(lpad(to_hex(c), 2, '0')) || ';', chr(c));
      end loop;
      return replace(replace(replace(replace(replace(r, '&lt;', '<'), '&gt;', '>'), '&quot;', '"'),
                     '&apos;', ''''), '&amp;', '&');
    end $b$;

  -- SQL Server's types, as sys.types gives them
  create or replace view palvo."sys.types" as
    select cast(name as palvo.sysname) as name, cast(id as smallint) as system_type_id,
           cast(case when name = 'sysname' then 256 else id end as integer) as user_type_id,
           4 as schema_id, cast(len as smallint) as max_length, cast(prec as smallint) as precision,
           cast(sc as smallint) as scale, cast(1 as smallint) as is_nullable, cast(0 as smallint) as is_user_defined
    from (values ('bigint', 127, 8, 19, 0), ('binary', 173, 8000, 0, 0), ('bit', 104, 1, 1, 0),
                 ('char', 175, 8000, 0, 0), ('date', 40, 3, 10, 0), ('datetime', 61, 8, 23, 3),
                 ('datetime2', 42, 8, 27, 7), ('decimal', 106, 17, 38, 38), ('float', 62, 8, 53, 0),
                 ('image', 34, 16, 0, 0), ('int', 56, 4, 10, 0), ('money', 60, 8, 19, 4),
                 ('nchar', 239, 8000, 0, 0), ('ntext', 99, 16, 0, 0), ('numeric', 108, 17, 38, 38),
                 ('nvarchar', 231, 8000, 0, 0), ('real', 59, 4, 24, 0), ('smalldatetime', 58, 4, 16, 0),
                 ('smallint', 52, 2, 5, 0), ('smallmoney', 122, 4, 10, 4), ('text', 35, 16, 0, 0),
                 ('time', 41, 5, 16, 7), ('tinyint', 48, 1, 3, 0), ('uniqueidentifier', 36, 16, 0, 0),
                 ('varbinary', 165, 8000, 0, 0), ('varchar', 167, 8000, 0, 0), ('sysname', 231, 256, 0, 0))
      as t (name, id, len, prec, sc);
  -- the catalogue: each table and view of the connection's search path with its columns
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
  -- a type's name by its number, and the number of a column's type as T-SQL declared it (palvo.sql_type),
  -- else of its PostgreSQL type t: both as sys.types gives them
  create or replace function palvo.type_name(integer) returns palvo.sysname
    language sql stable as $b$
    select name from palvo."sys.types" where system_type_id = $1 and name <> 'sysname' $b$;
  create or replace function palvo.declared_xtype(declared text, t text) returns integer
    language sql stable as $b$
    select coalesce((select cast(system_type_id as integer) from palvo."sys.types"
                     where name = substring(declared from '^[a-z0-9]+') and name <> 'sysname'), palvo.xtype(t)) $b$;
  -- the schemas whose tables are the host's: those of the search path but the library's and PostgreSQL's own
  create or replace function palvo.host_schema(name) returns boolean
    language sql stable as $b$
    select $1 = any (current_schemas(false)) and $1 not in ('palvo', 'pg_catalog', 'information_schema') $b$;
  -- the last part of a name as T-SQL writes it ('dbo.[客户]' is 客户), without its brackets or quotes
  create or replace function palvo.name_part(text) returns text
    language sql immutable as $b$
    select regexp_replace(substring($1 from '(\[[^]]*\]|"[^"]*"|[^.]*)$'), '^[\["](.*)[]"]$', '\1') $b$;
  -- a column's type as T-SQL declared it ('nvarchar(50)'), which CREATE TABLE keeps in the column's
  -- comment; for a column made otherwise, the T-SQL type of its PostgreSQL type
  create or replace function palvo.sql_type(rel oid, att smallint, typ oid, typmod integer) returns text
    language sql stable as $b$
    select coalesce(substring(col_description(rel, att) from '^palvo:([a-z0-9]+(\([0-9a-z,]+\))?)$'),
      case
        when t = 'integer' then 'int' when t = 'double precision' then 'float' when t = 'boolean' then 'bit'
        when t = 'text' then 'nvarchar(max)' when t = 'character varying' then 'nvarchar(max)'
        when t = 'uuid' then 'uniqueidentifier' when t = 'bytea' then 'varbinary(max)'
        when t = 'timestamp(3) without time zone' then 'datetime'
        when t = 'timestamp(0) without time zone' then 'smalldatetime'
        when t = 'timestamp without time zone' then 'datetime2(6)'
        when t like 'timestamp(%' then 'datetime2' || substring(t from '\([0-9]+\)')
        when t = 'time without time zone' then 'time(6)'
        when t like 'time(%' then 'time' || substring(t from '\([0-9]+\)')
        when t like 'numeric(%' then 'decimal' || substring(t from '\(.*\)') when t = 'numeric' then 'decimal(38,10)'
        when t like 'character varying(%' then 'varchar' || substring(t from '\(.*\)')
        when t like 'character(%' then 'char' || substring(t from '\(.*\)')
        else t end)
    from (select format_type(typ, typmod) as t) f $b$;
  -- each column of the host's tables and views with its T-SQL type read into its name and arguments
  create or replace view palvo.host_columns as
    select c.oid as rel, cast(cast(c.oid as bigint) as integer) as object_id, c.relkind, n.nspname,
           cast(c.relname as palvo.sysname) as table_name, cast(a.attname as palvo.sysname) as name,
           cast(a.attnum as integer) as column_id, not a.attnotnull as nullable, a.attidentity <> '' as identity,
           substring(d from '^[a-z0-9]+') as base,
           case when d like '%(max)' then -1 else cast(substring(d from '\(([0-9]+)') as integer) end as a1,
           cast(substring(d from ',([0-9]+)\)') as integer) as a2,
           pg_get_expr(ad.adbin, ad.adrelid) as default_value
    from pg_class c join pg_namespace n on n.oid = c.relnamespace join pg_attribute a on a.attrelid = c.oid
    left join pg_attrdef ad on ad.adrelid = c.oid and ad.adnum = a.attnum
    cross join lateral (select palvo.sql_type(c.oid, a.attnum, a.atttypid, a.atttypmod) as d) t
    where c.relkind in ('r', 'v', 'p') and a.attnum > 0 and not a.attisdropped and palvo.host_schema(n.nspname);
  create or replace view palvo."sys.columns" as
    select h.object_id, h.name, h.column_id, t.system_type_id, t.user_type_id,
           cast(case
             when h.base in ('nvarchar', 'nchar') then case when h.a1 < 0 then -1 else 2 * h.a1 end
             when h.base in ('varchar', 'char', 'varbinary', 'binary') then h.a1
             when h.base in ('decimal', 'numeric') then
               case when h.a1 <= 9 then 5 when h.a1 <= 19 then 9 when h.a1 <= 28 then 13 else 17 end
             when h.base = 'datetime2' then case when h.a1 <= 2 then 6 when h.a1 <= 4 then 7 else 8 end
             when h.base = 'time' then case when h.a1 <= 2 then 3 when h.a1 <= 4 then 4 else 5 end
             else t.max_length end as smallint) as max_length,
           cast(case when h.base in ('decimal', 'numeric') then h.a1
                     when h.base = 'datetime2' then case when h.a1 > 0 then 20 + h.a1 else 19 end
                     when h.base = 'time' then case when h.a1 > 0 then 9 + h.a1 else 8 end
                     else t.precision end as smallint) as precision,
           cast(case when h.base in ('decimal', 'numeric') then coalesce(h.a2, 0)
                     when h.base in ('datetime2', 'time') then h.a1 else t.scale end as smallint) as scale,
           cast(case when h.nullable then 1 else 0 end as smallint) as is_nullable,
           cast(case when h.identity then 1 else 0 end as smallint) as is_identity,
           cast(0 as smallint) as is_computed
    from palvo.host_columns h join palvo."sys.types" t on t.name = h.base and t.name <> 'sysname';
  create or replace view palvo."information_schema.columns" as
    select cast(current_database() as palvo.sysname) as table_catalog,
           cast(case when h.nspname = 'public' then 'dbo' else h.nspname end as palvo.sysname) as table_schema,
           h.table_name, cast(h.name as palvo.sysname) as column_name, h.column_id as ordinal_position,
           cast(case when h.default_value is null then null else '(' || h.default_value || ')' end as text)
             as column_default,
           cast(case when h.nullable then 'YES' else 'NO' end as varchar(3)) as is_nullable,
           cast(h.base as palvo.sysname) as data_type,
           case when h.base in ('nvarchar', 'nchar', 'varchar', 'char', 'varbinary', 'binary') then h.a1
                when h.base = 'text' then 2147483647 when h.base = 'ntext' then 1073741823 end
             as character_maximum_length,
           case when h.base in ('nvarchar', 'nchar') then case when h.a1 < 0 then -1 else 2 * h.a1 end
                when h.base in ('varchar', 'char', 'varbinary', 'binary') then h.a1
                when h.base = 'text' then 2147483647 when h.base = 'ntext' then 2147483646 end
             as character_octet_length,
           cast(case when h.base in ('decimal', 'numeric') then h.a1
                     when h.base in ('tinyint', 'smallint', 'int', 'bigint', 'money', 'smallmoney', 'float', 'real')
                       then t.precision end as smallint) as numeric_precision,
           cast(case when h.base in ('float', 'real') then 2
                     when h.base in ('decimal', 'numeric', 'tinyint', 'smallint', 'int', 'bigint', 'money',
                                     'smallmoney') then 10 end as smallint) as numeric_precision_radix,
           case when h.base in ('decimal', 'numeric') then coalesce(h.a2, 0)
                when h.base in ('tinyint', 'smallint', 'int', 'bigint', 'money', 'smallmoney') then t.scale end
             as numeric_scale,
           cast(case when h.base in ('datetime2', 'time') then h.a1 when h.base = 'datetime' then 3
                     when h.base in ('smalldatetime', 'date') then 0 end as smallint) as datetime_precision,
           cast(case when h.base in ('varchar', 'char', 'text') then 'cp936'
                     when h.base in ('nvarchar', 'nchar', 'ntext') then 'UNICODE' end as palvo.sysname)
             as character_set_name,
           cast(case when h.base in ('varchar', 'char', 'text', 'nvarchar', 'nchar', 'ntext')
                     then 'Chinese_PRC_CI_AS' end as palvo.sysname) as collation_name
    from palvo.host_columns h join palvo."sys.types" t on t.name = h.base and t.name <> 'sysname';
  -- the host's tables and views as SQL Server's sys.objects, sys.tables and sys.views give them
  create or replace view palvo."sys.objects" as
    select cast(c.relname as palvo.sysname) as name, cast(cast(c.oid as bigint) as integer) as object_id,
           cast(null as integer) as principal_id, 1 as schema_id, 0 as parent_object_id,
           cast(case when c.relkind = 'v' then 'V' else 'U' end as char(2)) as type,
           cast(case when c.relkind = 'v' then 'VIEW' else 'USER_TABLE' end as varchar(60)) as type_desc,
           cast(0 as smallint) as is_ms_shipped, cast(0 as smallint) as is_published,
           cast(0 as smallint) as is_schema_published
    from pg_class c join pg_namespace n on n.oid = c.relnamespace
    where c.relkind in ('r', 'v', 'p') and palvo.host_schema(n.nspname);
  create or replace view palvo."sys.tables" as
    select * from palvo."sys.objects" where type = 'U';
  create or replace view palvo."sys.views" as
    select o.*, cast(case when v.reloptions @> array['check_option=cascaded'] or
                                v.reloptions @> array['check_option=local'] then 1 else 0 end as smallint)
                  as with_check_option
    from palvo."sys.objects" o join pg_class v on cast(cast(v.oid as bigint) as integer) = o.object_id
    where o.type = 'V';
  create or replace view palvo."information_schema.tables" as
    select cast(current_database() as palvo.sysname) as table_catalog,
           cast(case when n.nspname = 'public' then 'dbo' else n.nspname end as palvo.sysname) as table_schema,
           cast(c.relname as palvo.sysname) as table_name,
           cast(case when c.relkind = 'v' then 'VIEW' else 'BASE TABLE' end as varchar(10)) as table_type
    from pg_class c join pg_namespace n on n.oid = c.relnamespace
    where c.relkind in ('r', 'v', 'p') and palvo.host_schema(n.nspname);
  create or replace view palvo."information_schema.views" as
    select t.table_catalog, t.table_schema, t.table_name, cast(null as text) as view_definition,
           cast(case when v.with_check_option = 1 then 'CASCADE' else 'NONE' end as varchar(7)) as check_option,
           cast('NO' as varchar(2)) as is_updatable
    from palvo."information_schema.tables" t
    join palvo."sys.views" v on v.name = t.table_name and t.table_type = 'VIEW';
  -- each table's indexes: its primary key is its clustered index (1), a table without one a heap (0), the
  -- others numbered from 2 in the order they were made
  create or replace view palvo."sys.indexes" as
    select cast(cast(c.oid as bigint) as integer) as object_id, cast(i.relname as palvo.sysname) as name,
           cast(case when x.indisprimary then 1
                     else 1 + row_number() over (partition by c.oid, x.indisprimary order by i.oid) end as integer)
             as index_id,
           cast(case when x.indisprimary then 1 else 2 end as smallint) as type,
           cast(case when x.indisprimary then 'CLUSTERED' else 'NONCLUSTERED' end as varchar(60)) as type_desc,
           cast(case when x.indisunique then 1 else 0 end as smallint) as is_unique,
           cast(case when x.indisprimary then 1 else 0 end as smallint) as is_primary_key,
           cast(case when k.contype = 'u' then 1 else 0 end as smallint) as is_unique_constraint
    from pg_class c join pg_namespace n on n.oid = c.relnamespace join pg_index x on x.indrelid = c.oid
    join pg_class i on i.oid = x.indexrelid left join pg_constraint k on k.conindid = i.oid and k.contype = 'u'
    where c.relkind in ('r', 'p') and palvo.host_schema(n.nspname)
    union all
    select cast(cast(c.oid as bigint) as integer), null, 0, cast(0 as smallint), 'HEAP', cast(0 as smallint),
           cast(0 as smallint), cast(0 as smallint)
    from pg_class c join pg_namespace n on n.oid = c.relnamespace
    where c.relkind in ('r', 'p') and palvo.host_schema(n.nspname)
      and not exists (select 1 from pg_index x where x.indrelid = c.oid and x.indisprimary);
  -- DROP INDEX T.ix, ix ON T: the index only where it is that table's (`shown`: the names as written)
  create or replace function palvo.drop_index(tbl text, ix text, if_exists boolean, shown text) returns void
    language plpgsql volatile as $b$
    declare
      found regclass;
    begin
      select cast(i.oid as regclass) into found
      from pg_index x join pg_class i on i.oid = x.indexrelid join pg_class t on t.oid = x.indrelid
      join pg_namespace n on n.oid = t.relnamespace
      where i.relname = ix and t.relname = tbl
        and (palvo.host_schema(n.nspname) or n.oid = pg_my_temp_schema());
      if found is null then
        if if_exists then
          return;
        end if;
        raise exception 'index "%" does not exist', shown using errcode = '42704';
      end if;
      execute format('drop index %s', found);
    end $b$;
  -- ALTER TABLE ... DROP COLUMN: every column there and in no index, else SQL Server's 4924 or 5074
  create or replace function palvo.drop_columns(tbl text, shown_table text, cols text[], shown text[])
    returns void language plpgsql volatile as $b$
    declare
      t regclass := cast(tbl as regclass);
      drops text[] := '{}';
      col text;
      ix text;
    begin
      for k in 1 .. cardinality(cols) loop
        col := (parse_ident(cols[k]))[1];
        if not exists (select 1 from pg_attribute
                       where attrelid = t and attname = col and attnum > 0 and not attisdropped) then
          raise exception using errcode = 'PV000', message = format(
            'ALTER TABLE DROP COLUMN failed because column ''%s'' does not exist in table ''%s''.',
            shown[k], shown_table);
        end if;
        select i.relname into ix from pg_index x join pg_class i on i.oid = x.indexrelid
          join pg_attribute a on a.attrelid = x.indrelid and a.attnum = any (x.indkey)
          where x.indrelid = t and a.attname = col limit 1;
        if ix is not null then
          raise exception using errcode = 'PV000', message = format(
            'The index ''%s'' is dependent on column ''%s''. ALTER TABLE DROP COLUMN %s failed because one '
            'or more objects access this column.', ix, shown[k], shown[k]);
        end if;
        drops := drops || format('drop column %I', col);
      end loop;
      execute format('alter table %s %s', t, array_to_string(drops, ', '));
    end $b$;
  create or replace function palvo.object_name(integer) returns palvo.sysname
    language sql stable as $b$
    select cast(relname as palvo.sysname) from pg_class where cast(oid as bigint) = $1 $b$;
  -- OBJECT_ID(name, type): a table (U) or view (V), or a procedure (P), function (FN, IF) or trigger (TR)
  -- of the library's module table (any of them for the type ''), numbered past the tables' numbers
  create or replace function palvo.object_id(text, text) returns integer
    language plpgsql stable as $b$
    declare
      kind text := upper(btrim($2));
      bare text := lower(palvo.name_part($1));
      found integer;
    begin
      if kind in ('U', 'V') then
        select cast(cast(c.oid as bigint) as integer) into found from pg_class c
        join pg_namespace n on n.oid = c.relnamespace
        where palvo.host_schema(n.nspname) and lower(c.relname) = bare
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
  create or replace function palvo.col_length(text, text) returns smallint
    language sql stable as $b$
    select max_length from palvo."sys.columns" where object_id = palvo.object_id($1) and name = $2 $b$;
  create or replace view palvo.syscolumns as
    select cast(cast(c.oid as bigint) as integer) as id, cast(a.attname as palvo.sysname) as name,
           cast(a.attnum as smallint) as colid,
           palvo.declared_xtype(palvo.sql_type(c.oid, a.attnum, a.atttypid, a.atttypmod),
                                format_type(a.atttypid, a.atttypmod)) as xtype,
           cast(case when a.attlen > 0 then a.attlen
                     when a.atttypmod > 4 and a.atttypid in (1042, 1043) then a.atttypmod - 4
                     else -1 end as smallint) as length,
           case when a.attnotnull then 0 else 1 end as isnullable
    from pg_class c join pg_attribute a on a.attrelid = c.oid join pg_namespace n on n.oid = c.relnamespace
    where c.relkind in ('r', 'v', 'p') and a.attnum > 0 and not a.attisdropped
      and palvo.host_schema(n.nspname);

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
        for (std::string_view part : {kHead, kOperators, kDates, kText, kValues, kMoreDates, kMoreText,
                                      kMoreValues, kFormat, kCatalogue})
            b += part;
        return b;
    }();
    return block;
}

}  // namespace Palvo::dialect
