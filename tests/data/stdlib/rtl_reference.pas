{ Writes rtl_reference.txt: results of the common Pascal run-time functions that the
  script built-ins follow, for generated inputs. Built with FreePascal once; the table is
  checked in, so tests do not need a Pascal compiler.
    fpc -Mobjfpc rtl_reference.pas && ./rtl_reference > rtl_reference.txt
  Lines: NAME|ARG|ARG...|RESULT. Strings are hex bytes (empty: "-"), doubles are their
  64-bit patterns in hex, integers decimal, failures "ERR". }
program rtl_reference;

uses SysUtils, Math, DateUtils;

function HexStr(const S: string): string;
var
  I: Integer;
begin
  if S = '' then Exit('-');
  Result := '';
  for I := 1 to Length(S) do Result := Result + IntToHex(Ord(S[I]), 2);
end;

function DblHex(D: Double): string;
var
  Bits: Int64 absolute D;
begin
  Result := IntToHex(Bits, 16);
end;

function RandomText(MaxLen: Integer; const Alphabet: string): string;
var
  I, N: Integer;
begin
  N := Random(MaxLen + 1);
  Result := '';
  for I := 1 to N do Result := Result + Alphabet[1 + Random(Length(Alphabet))];
end;

function RandomReal: Double;
begin
  case Random(5) of
    0: Result := (Random(2001) - 1000) / 2;          { halves }
    1: Result := (Random(200001) - 100000) / 100;
    2: Result := (Random(2000) - 1000) * 1.0;
    3: Result := (Random(1000000) - 500000) / 7;
  else Result := (Random(2001) - 1000) / 4;
  end;
end;

var
  I, A, B: Integer;
  S, T: string;
  D: Double;
  Y, M, Dd: Word;
  Dt: TDateTime;
  Blanks: string;
begin
  RandSeed := 20261207;
  Blanks := #0#1#9#10#13#31#32#32#33'ab';
  for I := 1 to 300 do
  begin
    S := RandomText(10, 'abcdef');
    A := Random(17) - 3;
    B := Random(17) - 3;
    WriteLn('Copy|', HexStr(S), '|', A, '|', B, '|', HexStr(Copy(S, A, B)));
  end;
  for I := 1 to 300 do
  begin
    S := RandomText(3, 'ab');
    T := RandomText(8, 'abc');
    WriteLn('Pos|', HexStr(S), '|', HexStr(T), '|', Pos(S, T));
  end;
  for I := 1 to 200 do
  begin
    S := RandomText(8, Blanks);
    WriteLn('Trim|', HexStr(S), '|', HexStr(Trim(S)));
    WriteLn('TrimLeft|', HexStr(S), '|', HexStr(TrimLeft(S)));
    WriteLn('TrimRight|', HexStr(S), '|', HexStr(TrimRight(S)));
  end;
  for I := 1 to 400 do
  begin
    D := RandomReal;
    WriteLn('Round|', DblHex(D), '|', Round(D));
    WriteLn('Trunc|', DblHex(D), '|', Trunc(D));
    WriteLn('Int|', DblHex(D), '|', DblHex(Int(D)));
    WriteLn('Frac|', DblHex(D), '|', DblHex(Frac(D)));
    WriteLn('Floor|', DblHex(D), '|', Floor(D));
    WriteLn('Ceil|', DblHex(D), '|', Ceil(D));
  end;
  for I := 1 to 200 do
  begin
    D := (Random(41) - 20) / 4;
    A := Random(21) - 10;
    if (D = 0) and (A < 0) then A := -A;
    WriteLn('IntPower|', DblHex(D), '|', A, '|', DblHex(IntPower(D, A)));
  end;
  for I := 1 to 200 do
  begin
    A := Random(2000000001) - 1000000000;
    WriteLn('IntToStr|', A, '|', HexStr(IntToStr(A)));
  end;
  for I := 1 to 200 do
  begin
    S := RandomText(9, '0123456789-+.');
    try
      A := StrToInt(S);
      WriteLn('StrToInt|', HexStr(S), '|', A);
    except
      WriteLn('StrToInt|', HexStr(S), '|ERR');
    end;
  end;
  for I := 1 to 300 do
  begin
    Y := Random(2200);
    M := Random(14);
    Dd := Random(33);
    if TryEncodeDate(Y, M, Dd, Dt) then
      WriteLn('EncodeDate|', Y, '|', M, '|', Dd, '|', DblHex(Dt))
    else
      WriteLn('EncodeDate|', Y, '|', M, '|', Dd, '|ERR');
  end;
  for I := 1 to 300 do
  begin
    Dt := EncodeDate(1900 + Random(200), 1 + Random(12), 1 + Random(28)) + (Random(1000) / 1000);
    { month ends, to see the day clamped }
    if (Random(4) = 0) and not TryEncodeDate(1904 + 4 * Random(40), 1 + Random(12), 28 + Random(4), Dt) then
      Dt := EncodeDate(2000, 1, 31);
    A := Random(61) - 30;
    WriteLn('IncMonth|', DblHex(Dt), '|', A, '|', DblHex(IncMonth(Dt, A)));
    WriteLn('DayOfWeek|', DblHex(Dt), '|', DayOfWeek(Dt));
  end;
end.
