#!/usr/bin/python3
"""Writes the two .ods files of this corpus that are made here rather than copied, laid out as
LibreOffice 7.4 saves them (content.xml only as far as the cells need it):

  made-anchored-objects-in-cells.ods   pictures, an OLE object, a shape and a note anchored in
                                       cells (each drawing holds its own empty paragraph); a
                                       second sheet holds only pictures
  made-formula-empty-text.ods          formulas whose result is the empty text, saved with an
                                       empty paragraph and no value type

Usage: make_ods_cases.py [FOLDER]   (default: this script's folder). Rerun oracle.py on the
files afterwards. The output is the same byte for byte on every run.
"""

import os
import sys
import zipfile

NAMESPACES = (
    'xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
    'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
    'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
    'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
    'xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" '
    'xmlns:xlink="http://www.w3.org/1999/xlink" '
    'xmlns:dc="http://purl.org/dc/elements/1.1/" '
    'xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" '
    'xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2" '
    'xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0" '
    'office:version="1.3"')

MIMETYPE = 'application/vnd.oasis.opendocument.spreadsheet'

# A 1x1 transparent PNG.
PNG = bytes.fromhex(
    '89504e470d0a1a0a0000000d4948445200000001000000010806000000'
    '1f15c4890000000d49444154789c6360000002000154a24f5d0000000049454e44ae426082')


def picture(name, cell):
    return ('<draw:frame draw:z-index="0" draw:name="%s" svg:width="2cm" svg:height="1cm" '
            'svg:x="0.1cm" svg:y="0.1cm" table:end-cell-address="%s" table:end-x="1cm" '
            'table:end-y="0.5cm"><draw:image xlink:href="Pictures/1.png" xlink:type="simple" '
            'xlink:show="embed" xlink:actuate="onLoad" draw:mime-type="image/png">'
            '<text:p/></draw:image></draw:frame>' % (name, cell))


def ole_object(cell):
    return ('<draw:frame draw:z-index="1" draw:name="Object 1" svg:width="4cm" svg:height="3cm" '
            'svg:x="0cm" svg:y="0cm" table:end-cell-address="%s" table:end-x="1cm" '
            'table:end-y="1cm"><draw:object draw:notify-on-update-of-ranges="Sheet1.A1:Sheet1.B2" '
            'xlink:href="./Object 1" xlink:type="simple" xlink:show="embed" xlink:actuate="onLoad"/>'
            '<draw:image xlink:href="./ObjectReplacements/Object 1" '
            'xlink:type="simple" xlink:show="embed" xlink:actuate="onLoad"><text:p/></draw:image>'
            '</draw:frame>' % cell)


def shape(cell):
    return ('<draw:custom-shape draw:z-index="2" draw:name="Shape 1" svg:width="1cm" '
            'svg:height="1cm" svg:x="0cm" svg:y="0cm" table:end-cell-address="%s" '
            'table:end-x="1cm" table:end-y="1cm"><text:p/><draw:enhanced-geometry '
            'svg:viewBox="0 0 21600 21600" draw:type="rectangle"/></draw:custom-shape>' % cell)


def note(text):
    return ('<office:annotation draw:style-name="gr1" svg:width="3cm" svg:height="1cm" '
            'svg:x="2cm" svg:y="0cm"><dc:date>2024-01-15T10:20:30</dc:date>'
            '<text:p>%s</text:p></office:annotation>' % text)


def content(tables):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<office:document-content %s>'
            '<office:body><office:spreadsheet>%s</office:spreadsheet></office:body>'
            '</office:document-content>' % (NAMESPACES, ''.join(tables)))


def anchored_objects():
    first = ('<table:table table:name="图片与批注"><table:table-column '
             'table:number-columns-repeated="3"/><table:table-row>'
             '<table:table-cell office:value-type="string" calcext:value-type="string">%s'
             '<text:p>abc</text:p></table:table-cell>'
             '<table:table-cell office:value-type="float" office:value="5" '
             'calcext:value-type="float">%s<text:p>5</text:p></table:table-cell>'
             '<table:table-cell office:value-type="string" calcext:value-type="string">%s'
             '<text:p>x</text:p></table:table-cell></table:table-row>'
             '<table:table-row><table:table-cell>%s</table:table-cell>'
             '<table:table-cell office:value-type="string" calcext:value-type="string">'
             '<text:p>第二行</text:p></table:table-cell><table:table-cell/></table:table-row>'
             '</table:table>' % (picture('Image 1', 'Sheet1.B2'), shape('Sheet1.C2'),
                                 note('批注'), ole_object('Sheet1.B3')))
    rows = ''.join('<table:table-row><table:table-cell>%s</table:table-cell></table:table-row>'
                   % picture('Image %d' % (row + 2), 'Sheet2.B%d' % (row + 2))
                   for row in range(16))
    second = ('<table:table table:name="只有图片"><table:table-column/>%s'
              '<table:table-row table:number-rows-repeated="1048560"><table:table-cell/>'
              '</table:table-row></table:table>' % rows)
    return content([first, second]), True


def empty_text_formulas():
    table = ('<table:table table:name="公式"><table:table-column '
             'table:number-columns-repeated="3"/><table:table-row>'
             '<table:table-cell table:formula="of:=&quot;&quot;"><text:p/></table:table-cell>'
             '<table:table-cell table:formula="of:=IF([.C1]&gt;0;&quot;&quot;;&quot;负&quot;)">'
             '<text:p/></table:table-cell>'
             '<table:table-cell office:value-type="float" office:value="3" '
             'calcext:value-type="float"><text:p>3</text:p></table:table-cell></table:table-row>'
             '<table:table-row><table:table-cell office:value-type="string" '
             'calcext:value-type="string"><text:p>下一行</text:p></table:table-cell>'
             '</table:table-row></table:table>')
    return content([table]), False


def manifest(with_pictures):
    entries = ['<manifest:file-entry manifest:full-path="/" manifest:version="1.3" '
               'manifest:media-type="%s"/>' % MIMETYPE,
               '<manifest:file-entry manifest:full-path="content.xml" '
               'manifest:media-type="text/xml"/>']
    if with_pictures:
        entries.append('<manifest:file-entry manifest:full-path="Pictures/1.png" '
                       'manifest:media-type="image/png"/>')
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<manifest:manifest xmlns:manifest='
            '"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.3">%s'
            '</manifest:manifest>' % ''.join(entries))


def write(path, xml, with_pictures):
    def entry(name, data, method):
        info = zipfile.ZipInfo(name, date_time=(2024, 1, 15, 10, 20, 30))
        info.compress_type = method
        package.writestr(info, data)

    with zipfile.ZipFile(path, 'w') as package:
        entry('mimetype', MIMETYPE, zipfile.ZIP_STORED)
        entry('content.xml', xml, zipfile.ZIP_DEFLATED)
        if with_pictures:
            entry('Pictures/1.png', PNG, zipfile.ZIP_STORED)
        entry('META-INF/manifest.xml', manifest(with_pictures), zipfile.ZIP_DEFLATED)


def main(argv):
    folder = argv[1] if len(argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, make in (('made-anchored-objects-in-cells.ods', anchored_objects),
                       ('made-formula-empty-text.ods', empty_text_formulas)):
        xml, with_pictures = make()
        write(os.path.join(folder, name), xml, with_pictures)
        print(name)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
