#!/usr/bin/python3
"""Builds the LibreOffice-made reference workbooks inside LibreOffice Calc, through its UNO
interface, and saves them with its "MS Excel 97" export (BIFF8).

    build_reference_workbooks.py OUTPUT_FOLDER

Writes reference-imperial.xls and reference-metric.xls: a "Data" sheet (title, height cells,
headers, weekly entries from 2004-06-10, the log's formulas copied down row by row, which
LibreOffice stores as shared formulas) and three worksheets that each hold one embedded line
chart of the data, two of them with a secondary value axis. Needs python3-uno.
"""
import os
import subprocess
import sys
import tempfile
import time

import uno
from com.sun.star.beans import PropertyValue
from com.sun.star.table import CellRangeAddress

FIRST_DATE = 38148  # 2004-06-10

IMPERIAL = {
    "file": "reference-imperial.xls",
    "title": "Fitness Progress Chart for Men",
    "height": [("H2", "Height (feet)", "I2", 6.0, None), ("H3", "Height (inches)", "I3", 0.375, "# ?/?")],
    "headers": ["Date", "Weight (pounds)", "Chest (inches)", "Waist (inches)", "Hips (inches)",
                "Estimated Lean Body Weight", "Estimated Body Fat Weight", "Estimated Body Fat Percentage",
                "Estimated Body Mass Index (BMI)"],
    # weight, chest, waist, hips, one row a week
    "entries": [
        (206.0, 44.625, 39.0, 41.25), (206.2, 44.5, 38.875, 41.25), (205.0, 44.375, 38.875, 41.0),
        (204.0, 44.5, 38.5, 40.875), (204.0, 44.25, 38.375, 41.0), (203.4, 44.125, 38.375, 40.875),
        (201.8, 44.125, 38.375, 40.75), (201.2, 44.25, 38.125, 40.75), (201.4, 44.0, 38.0, 40.875),
        (200.6, 44.0, 38.125, 40.625), (199.4, 44.125, 37.875, 40.5), (199.4, 44.125, 37.625, 40.5),
        (199.6, 43.875, 37.5, 40.5), (198.6, 43.875, 37.5, 40.25), (197.4, 43.875, 37.25, 40.125),
        (197.2, 43.75, 37.0, 40.25), (196.8, 43.5, 37.125, 40.125), (195.2, 43.625, 37.0, 40.0),
        (194.4, 43.625, 36.75, 40.0), (194.8, 43.5, 36.75, 40.125), (194.2, 43.5, 36.75, 39.875),
        (193.0, 43.5, 36.625, 39.625), (193.0, 43.5, 36.25, 39.75), (193.0, 43.375, 36.125, 39.625),
        (192.0, 43.25, 36.125, 39.5), (190.6, 43.25, 35.875, 39.375),
    ],
    "formulas": ["=(B{r}*1.082+94.42)-D{r}*4.15", "=B{r}-F{r}", "=G{r}*100/B{r}",
                 "=B{r}/($I$2*12+$I$3)/($I$2*12+$I$3)*703"],
    # chart sheet, title, series columns on the first axis, series column on the second
    "charts": [("Measurements Chart", "Measurements", [2, 3, 4], None),
               ("Weight and BMI Chart", "Weight and BMI", [1], 8),
               ("Weight and Body Fat Chart", "Weight and Body Fat", [1], 7)],
}

METRIC = {
    "file": "reference-metric.xls",
    "title": "Fitness Progress Chart for Women",
    "height": [("J2", "Height (m)", "K2", 1.0, None), ("J3", "Height\n(cm)", "K3", 68.0, None)],
    "headers": ["Date", "Weight (kg)", "Chest (cm)", "Waist (cm)", "Hips (cm)", "Wrist (cm)", "Forearm (cm)",
                "Estimated Lean Body Weight", "Estimated Body Fat Weight", "Estimated Body Fat Percentage",
                "Estimated Body Mass Index (BMI)"],
    # weight, chest, waist, hips, wrist, forearm
    "entries": [
        (72.4, 96.5, 80.5, 104.0, 16.0, 25.4), (72.5, 96.0, 80.5, 104.0, 15.9, 25.5),
        (72.0, 96.0, 80.5, 103.5, 16.0, 25.5), (71.6, 96.0, 79.5, 103.5, 16.0, 25.4),
        (71.7, 95.5, 79.0, 103.5, 16.0, 25.4), (71.4, 95.0, 79.5, 103.5, 15.9, 25.5),
        (70.8, 95.0, 79.0, 103.0, 16.0, 25.5), (70.5, 95.5, 78.5, 103.0, 16.0, 25.3),
        (70.6, 95.0, 78.5, 103.0, 15.9, 25.3), (70.3, 95.0, 79.0, 102.5, 15.9, 25.4),
        (69.9, 95.0, 78.5, 102.5, 16.0, 25.2), (69.9, 95.0, 78.0, 102.5, 15.9, 25.2),
        (70.0, 94.5, 77.5, 102.0, 15.8, 25.3), (69.5, 94.5, 77.5, 101.5, 15.9, 25.3),
        (69.1, 94.5, 77.0, 101.5, 16.0, 25.2), (69.1, 94.5, 76.5, 102.0, 15.9, 25.2),
        (68.8, 94.0, 77.0, 101.5, 15.9, 25.3), (68.2, 94.0, 77.0, 101.5, 15.9, 25.2),
        (68.0, 94.0, 76.0, 101.5, 15.9, 25.1), (68.1, 94.0, 76.0, 101.5, 15.8, 25.1),
        (67.8, 93.5, 76.5, 101.0, 15.8, 25.1), (67.4, 94.0, 76.0, 100.5, 15.9, 25.0),
        (67.4, 94.0, 75.0, 100.5, 15.8, 25.0), (67.4, 93.5, 75.0, 100.5, 15.7, 25.1),
        (67.0, 93.0, 75.0, 100.0, 15.8, 25.2), (66.5, 93.0, 74.5, 100.0, 15.9, 25.0),
        (66.4, 93.0, 74.0, 100.0, 15.8, 25.0),
    ],
    "formulas": ["=((B{r}/0.45359)*0.732+8.987+(F{r}/2.54)/3.14-(D{r}/2.54)*0.157-(E{r}/2.54)*0.249"
                 "+(G{r}/2.54)*0.434)*0.45359", "=B{r}-H{r}", "=I{r}*100/B{r}", "=B{r}/($K$2+$K$3/100)^2"],
    "charts": [("Measurements Chart", "Measurements", [2, 3, 4, 5, 6], None),
               ("Weight and BMI Chart", "Weight and BMI", [1], 10),
               ("Weight and Body Fat Chart", "Weight and Body Fat", [1], 9)],
}

HEADER_ROW = 4  # row 5
FIRST_ROW = 5   # row 6


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def start_office(profile):
    port = 2300 + os.getpid() % 500
    office = subprocess.Popen(
        ["soffice", "--headless", "--invisible", "--nologo", "--norestore", "--nodefault",
         "-env:UserInstallation=" + uno.systemPathToFileUrl(profile), f"--accept=socket,host=localhost,port={port};urp;"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
    for _ in range(180):
        try:
            ctx = resolver.resolve(f"uno:socket,host=localhost,port={port};urp;StarOffice.ComponentContext")
            return office, ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
        except Exception:
            if office.poll() is not None:
                sys.exit("LibreOffice ended before it could be reached")
            time.sleep(1)
    office.kill()
    sys.exit("LibreOffice did not answer within three minutes")


def number_format(doc, code):
    formats = doc.NumberFormats
    locale = uno.createUnoStruct("com.sun.star.lang.Locale")
    locale.Language, locale.Country = "en", "US"
    key = formats.queryKey(code, locale, False)
    return key if key != -1 else formats.addNew(code, locale)


def fill_data(doc, sheet, d):
    sheet.getCellByPosition(0, 0).String = d["title"]
    title = sheet.getCellByPosition(0, 0)
    title.CharWeight, title.CharHeight = 150.0, 16.0  # bold
    for label_at, label, value_at, value, code in d["height"]:
        sheet.getCellRangeByName(label_at).String = label
        sheet.getCellRangeByName(label_at).IsTextWrapped = "\n" in label
        cell = sheet.getCellRangeByName(value_at)
        cell.Value = value
        if code:
            cell.NumberFormat = number_format(doc, code)
    for c, text in enumerate(d["headers"]):
        cell = sheet.getCellByPosition(c, HEADER_ROW)
        cell.String = text
        cell.CharWeight = 150.0
        cell.IsTextWrapped = True
    date, one_decimal = number_format(doc, "MM/DD/YY"), number_format(doc, "0.0")
    first_formula = 1 + len(d["entries"][0])
    for i, entry in enumerate(d["entries"]):
        row = FIRST_ROW + i
        date_cell = sheet.getCellByPosition(0, row)
        date_cell.Value = FIRST_DATE + 7 * i
        date_cell.NumberFormat = date
        for c, value in enumerate(entry):
            sheet.getCellByPosition(1 + c, row).Value = value
        for k, formula in enumerate(d["formulas"]):
            cell = sheet.getCellByPosition(first_formula + k, row)
            cell.Formula = formula.format(r=row + 1)
            cell.NumberFormat = one_decimal


def column_range(sheet_index, col, first, last):
    a = CellRangeAddress()
    a.Sheet, a.StartColumn, a.StartRow, a.EndColumn, a.EndRow = sheet_index, col, first, col, last
    return a


def add_chart(doc, on, name, title, first_axis, second_axis, last_row):
    """A line chart of the data sheet's columns on worksheet `on`: dates as categories, each
    series named by its header; `second_axis`, when given, on a secondary value axis."""
    columns = first_axis + ([second_axis] if second_axis is not None else [])
    ranges = [column_range(0, 0, HEADER_ROW, last_row)] + [column_range(0, c, HEADER_ROW, last_row) for c in columns]
    rect = uno.createUnoStruct("com.sun.star.awt.Rectangle")
    rect.X, rect.Y, rect.Width, rect.Height = 500, 500, 25000, 16000
    on.Charts.addNewByName(name, rect, tuple(ranges), True, True)
    chart = on.Charts.getByName(name).EmbeddedObject
    chart.Diagram = chart.createInstance("com.sun.star.chart.LineDiagram")
    chart.HasMainTitle = True
    chart.Title.String = title
    if second_axis is None:
        return
    chart.Diagram.HasSecondaryYAxis = True
    chart.Diagram.getDataRowProperties(len(columns) - 1).Axis = 4  # com.sun.star.chart.ChartAxisAssign.SECONDARY_Y


def build(desktop, d, out_folder):
    doc = desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0, (prop("Hidden", True),))
    try:
        sheets = doc.Sheets
        sheets.getByIndex(0).Name = "Data"
        data = sheets.getByIndex(0)
        fill_data(doc, data, d)
        last_row = FIRST_ROW + len(d["entries"]) - 1
        for k, (sheet_name, title, first_axis, second_axis) in enumerate(d["charts"]):
            sheets.insertNewByName(sheet_name, k + 1)
            add_chart(doc, sheets.getByName(sheet_name), f"Object {k + 1}", title, first_axis, second_axis, last_row)
        doc.calculateAll()
        doc.CurrentController.setActiveSheet(data)
        target = os.path.abspath(os.path.join(out_folder, d["file"]))
        doc.storeToURL(uno.systemPathToFileUrl(target), (prop("FilterName", "MS Excel 97"), prop("Overwrite", True)))
        print(f"wrote {target}")
    finally:
        doc.close(True)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out_folder = sys.argv[1]
    os.makedirs(out_folder, exist_ok=True)
    with tempfile.TemporaryDirectory() as profile:
        office, desktop = start_office(profile)
        try:
            for d in (IMPERIAL, METRIC):
                build(desktop, d, out_folder)
        finally:
            try:
                desktop.terminate()
            except Exception:
                pass
            try:
                office.wait(timeout=60)
            except subprocess.TimeoutExpired:
                office.kill()


if __name__ == "__main__":
    main()
