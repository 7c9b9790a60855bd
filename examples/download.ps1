# Downloads the scanner into a new CSV file and empties the scanner only when the file holds every
# barcode the scanner reported.
#   powershell -ExecutionPolicy Bypass -File download.ps1 [OUTPUT.csv [STARTPORT]]
# Without OUTPUT.csv the file is %TEMP%\scans-YYYY-MM-DD-HHMMSS.csv; an existing folder as OUTPUT gets
# the same name in it. The folder of OUTPUT.csv must exist. An existing OUTPUT.csv is never
# replaced: it may hold the only copy of an earlier download.
# Exit status: 0 downloaded and emptied (or nothing to empty), 1 not emptied (the reason is
# printed; for an error of the component, its number and what to do), 2 wrong arguments.
# 64-bit PowerShell uses the 32-bit component through the system's surrogate: every property read
# is a call into another process, so each value is read once.
param([string] $Output, [Nullable[int]] $StartPort)
Set-StrictMode -Version 2
$ErrorActionPreference = 'Stop'

# What to do about the errors an installation can give.
$advice = @{
    429 = 'Harrowtally.Clicker is not registered: install the Harrowtally package, or register ' +
          'Harrowtally.dll with the regsvr32 of its bitness'
    53  = "csp2a.DLL was not found: put the scanner maker's csp2a.DLL in the folder of Harrowtally.dll"
    48  = "csp2a.DLL does not load, most often because it is of the other bitness: the maker's " +
          '32-bit csp2a.DLL needs the 32-bit component (the x86 package), which serves 64-bit hosts too'
    453 = "csp2a.DLL lacks a function the component calls: use the scanner maker's csp2a.DLL"
}

function Stop-Download([int] $Status, [string] $Message) {
    Write-Output $Message
    exit $Status
}

# A member's error arrives as a COMException carrying the HRESULT 0x800A0000 + its number, wrapped
# by PowerShell in one or more exceptions of its own.
function Stop-ComponentError([System.Exception] $Exception) {
    $e = $Exception
    while ($null -ne $e -and -not ($e -is [System.Runtime.InteropServices.COMException])) { $e = $e.InnerException }
    if ($null -eq $e) { Stop-Download 1 "not emptied: $($Exception.Message)" }
    $number = $e.ErrorCode
    if ((($number -shr 16) -band 0xFFFF) -eq 0x800A) { $number = $number -band 0xFFFF }
    Write-Output "not emptied: error ${number}: $($e.Message)"
    if ($advice.ContainsKey($number)) { Write-Output $advice[$number] }
    exit 1
}

function ConvertTo-CsvField([string] $Text) {
    if ($Text -match '[",\r\n]') { return '"' + $Text.Replace('"', '""') + '"' }
    return $Text
}

if ($args.Count -gt 0) { Stop-Download 2 'usage: download.ps1 [OUTPUT.csv [STARTPORT]]' }
if (-not $Output) { $Output = [System.IO.Path]::GetTempPath() }
$path = $ExecutionContext.SessionState.Path.GetUnresolvedProviderPathFromPSPath($Output)
# A folder gets a new name every run, so a scheduled run never meets the last one's file.
if ([System.IO.Directory]::Exists($path)) {
    $path = Join-Path $path ('scans-{0:yyyy-MM-dd-HHmmss}.csv' -f (Get-Date))
}
$folder = [System.IO.Path]::GetDirectoryName($path)
if (-not [System.IO.Directory]::Exists($folder)) {
    Stop-Download 1 "not emptied: the folder $folder does not exist; create it first"
}
if ([System.IO.File]::Exists($path)) { Stop-Download 1 "not emptied: $path exists already" }

try {
    try {
        $clicker = New-Object -ComObject Harrowtally.Clicker
    } catch {
        # New-Object reports an unknown or unusable class with an error of its own, not 429.
        Write-Output "not emptied: error 429: $($_.Exception.Message)"
        Write-Output $advice[429]
        exit 1
    }
    if ($null -ne $StartPort) { $clicker.startport = $StartPort }
    $clicker.open_clicker()                 # searches 16 ports from startport and downloads
    if (-not $clicker.open_ok) { Stop-Download 1 "not emptied: no scanner found ($($clicker.log))" }
    $count = [int] $clicker.num_barcodes
    $serial = $clicker.serial               # the scanner read: only it, holding $count barcodes, is erased

    # A barcode whose packet could not be read has no type ($null): it is left out of the file, so
    # the count below shows the download was incomplete.
    $barcodes = New-Object 'object[]' ($count + 1)
    $types = New-Object 'object[]' ($count + 1)
    $times = New-Object 'object[]' ($count + 1)
    for ($k = 1; $k -le $count; $k++) {
        $clicker.get_barcode = [int16] $k
        $types[$k] = $clicker.stype
        if ($null -ne $types[$k]) {
            $barcodes[$k] = $clicker.sbarcode
            $times[$k] = $clicker.stime
        }
    }
} catch {
    Stop-ComponentError $_.Exception
}

# Write the file; any failure ends here, with the scanner untouched. CreateNew never replaces a file.
$written = 0
$unread = 0
$invariant = [System.Globalization.CultureInfo]::InvariantCulture
try {
    $stream = New-Object System.IO.FileStream($path, [System.IO.FileMode]::CreateNew, [System.IO.FileAccess]::Write)
    $writer = New-Object System.IO.StreamWriter($stream, (New-Object System.Text.UTF8Encoding($false)))
    try {
        $writer.NewLine = "`r`n"
        $writer.WriteLine('item,barcode,type,scan_time')
        for ($k = 1; $k -le $count; $k++) {
            if ($null -eq $types[$k]) { continue }
            $when = ([datetime] $times[$k]).ToString('yyyy-MM-dd HH:mm:ss', $invariant)
            # 2001-01-01 00:00:00 stands for a time stamp the component could not read.
            if ($when -eq '2001-01-01 00:00:00') { $unread++ }
            $writer.WriteLine("$k,$(ConvertTo-CsvField $barcodes[$k]),$($types[$k]),$when")
            $written++
        }
    } finally {
        $writer.Dispose()
    }
} catch {
    Stop-Download 1 "not emptied: $path was not written ($($_.Exception.Message))"
}

# Count the rows the file holds now, as read back from the disk: the lines after the header.
$rows = ([System.IO.File]::ReadAllText($path) -split "`r`n").Count - 2
Write-Output "downloaded $written of $count barcodes into $path"
if ($rows -ne $count -or $written -ne $count) {
    Stop-Download 1 "not emptied: the file holds $rows of $count barcodes"
}
if ($count -eq 0) { Stop-Download 0 'nothing to empty' }
if ($unread -gt 0) {
    Stop-Download 1 ("not emptied: $unread scan times could not be read (2001-01-01 00:00:00 in the file); " +
                     'the scanner keeps their time stamps')
}

# EmptyScannerIf opens startport as it is, without a search, and erases only the scanner read above
# while it still holds what was saved.
try {
    $clicker.startport = $clicker.comport
    $emptied = $clicker.EmptyScannerIf($count, $serial)
    $log = [string] $clicker.log
} catch {
    Stop-ComponentError $_.Exception
}
if (-not $emptied) {
    if ($log.StartsWith('CHNG')) {
        Stop-Download 1 ('not emptied: the scanner changed since the download (a barcode scanned since, or ' +
                         'another scanner on the port); run again to save the rest')
    }
    Stop-Download 1 "not emptied: $log"
}
Stop-Download 0 'emptied the scanner'
