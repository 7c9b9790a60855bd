// Prints the barcodes the scanner holds, through late binding: no reference to the type library.
// The scanner keeps them.
//   csc Download.cs && Download.exe [STARTPORT]
// Exit status: 0 every barcode printed, 1 no scanner, a barcode not read, or an error of the
// component (printed with its number and what to do), 2 wrong arguments.
// A 64-bit program uses the 32-bit component through the system's surrogate; each property read is
// then a call into another process, so each value is read once.
using System;
using System.Globalization;
using System.Runtime.InteropServices;

static class Download
{
    // What to do about the errors an installation can give.
    static string Advice(int number)
    {
        switch (number)
        {
            case 429:
                return "Harrowtally.Clicker is not registered: install the Harrowtally package, or register " +
                       "Harrowtally.dll with the regsvr32 of its bitness";
            case 53:
                return "csp2a.DLL was not found: put the scanner maker's csp2a.DLL in the folder of Harrowtally.dll";
            case 48:
                return "csp2a.DLL does not load, most often because it is of the other bitness: the maker's " +
                       "32-bit csp2a.DLL needs the 32-bit component (the x86 package), " +
                       "which serves 64-bit programs too";
            case 453:
                return "csp2a.DLL lacks a function the component calls: use the scanner maker's csp2a.DLL";
            default:
                return null;
        }
    }

    static int Fail(int number, string description)
    {
        Console.Error.WriteLine("error {0}: {1}", number, description);
        string advice = Advice(number);
        if (advice != null) Console.Error.WriteLine(advice);
        return 1;
    }

    static int Main(string[] args)
    {
        int startport = 0;
        if (args.Length > 1 || (args.Length == 1 && !int.TryParse(args[0], NumberStyles.Integer,
                                                                   CultureInfo.InvariantCulture, out startport)))
        {
            Console.Error.WriteLine("usage: Download.exe [STARTPORT]");
            return 2;
        }
        Type type = Type.GetTypeFromProgID("Harrowtally.Clicker");
        if (type == null) return Fail(429, "Harrowtally.Clicker is not registered");
        try
        {
            dynamic clicker;
            try
            {
                clicker = Activator.CreateInstance(type);
            }
            catch (COMException e)
            {
                // Registered, but not for this program's bitness (a 64-bit program needs the
                // 32-bit component's AppID, which the x86 package and regsvr32 write).
                return Fail(429, e.Message);
            }
            if (args.Length == 1) clicker.startport = startport;
            clicker.open_clicker();  // searches 16 ports from startport and downloads; erases nothing
            if (!clicker.open_ok)
            {
                Console.Error.WriteLine("no scanner found: {0}", clicker.log);
                return 1;
            }
            int count = clicker.num_barcodes;
            Console.WriteLine("scanner {0} on port {1}: {2} barcodes", clicker.serial, clicker.comport, count);
            int unread = 0;
            for (short k = 1; k <= count; k++)
            {
                clicker.get_barcode = k;
                // Empty (null here) when the barcode's packet could not be read.
                object code = clicker.stype;
                if (code == null)
                {
                    Console.WriteLine("{0,4} (not read)", k);
                    unread++;
                    continue;
                }
                string barcode = clicker.sbarcode;
                object scanned = clicker.stime;
                string when = scanned is DateTime
                    ? ((DateTime)scanned).ToString("yyyy-MM-dd HH:mm:ss", CultureInfo.InvariantCulture)
                    : "(no scan time)";
                Console.WriteLine("{0,4} {1,-13} {2,3} {3}", k, barcode, code, when);
            }
            if (unread > 0)
            {
                Console.Error.WriteLine("{0} of {1} barcodes could not be read", unread, count);
                return 1;
            }
            return 0;
        }
        catch (Exception e)
        {
            // A member's error arrives as a COMException carrying the HRESULT 0x800A0000 + its number,
            // on its own or inside a TargetInvocationException.
            COMException com = e as COMException ?? e.InnerException as COMException;
            if (com == null) throw;
            int number = (com.ErrorCode & unchecked((int)0xFFFF0000)) == unchecked((int)0x800A0000)
                ? com.ErrorCode & 0xFFFF
                : com.ErrorCode;
            return Fail(number, com.Message);
        }
    }
}
