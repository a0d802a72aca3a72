#!/usr/bin/env python3
"""Mutation check: changes the rules one at a time (a sign, an off-by-one,
a dropped line, a swapped order), rebuilds and runs ctest, and says which
test failed first. A change that no test notices is a hole in the suite.

usage: tools/mutants.py BUILD [ID...]     from the top of the source tree
       tools/mutants.py --check [ID...]   only see that each change applies

Each change is made in the source tree and undone after its run; BUILD is
rebuilt with -j2 each time (a mutant takes about a minute on 2 cores). One
JSON line a mutant, then the table of docs/testing.md's mutation check."""
import json
import subprocess
import sys

# (id, file, what the change breaks, text, the text it becomes); each text
# occurs once in its file.
MUTANTS = [
    # format/
    ('F1', 'convert/format/rsr.h', 'inList: off by one at the end of a list',
     'first >= 0 && first + count <= n', 'first >= 0 && first + count < n'),
    ('F2', 'convert/format/rsr.h', 'materialAfter: mat == nm taken as a material',
     'return mat >= 0 && mat < g.nm ? mat : cm;', 'return mat >= 0 && mat <= g.nm ? mat : cm;'),
    ('F3', 'convert/format/rsr.h', "cornerAt: one texture corner past its texture facet",
     'if (w.c12 < 0 || k >= w.end2) return true;', 'if (w.c12 < 0 || k > w.end2) return true;'),
    ('F4', 'convert/format/rsr.h', "walkCorners: a bad texture corner drops its vertex too",
     '        if (c.textured) {\n            c.textured = false;\n            put(c);\n        }\n        return false;',
     '        return false;'),
    ('F5', 'convert/format/rsr.h', 'faceAt: material number byte order swapped',
     'static_cast<int16_t>(rec[13] | (rec[14] << 8))', 'static_cast<int16_t>(rec[14] | (rec[13] << 8))'),
    ('F6', 'convert/format/rsr.cpp', 'readGroupStart: a name of 256 bytes refused',
     'if (length < 0 || length > max_name_length)', 'if (length < 0 || length >= max_name_length)'),
    ('F7', 'convert/format/rsr.cpp', 'readGroupBody: a negative texq taken as no texture data',
     'const bool texq = Getl(in) != 0;', 'const bool texq = Getl(in) > 0;'),
    ('F8', 'convert/format/rsr.cpp', 'readGroupBody: nq2 and nf2 read in swapped order',
     '    if ((f = readArray(in, tex_list_field, g.nq2, pt, texq, true, s)).kind) return f;\n'
     '    if ((f = readArray(in, tex_faces_field, g.nf2, fac2, texq, true, s)).kind) return f;',
     '    if ((f = readArray(in, tex_faces_field, g.nf2, fac2, texq, true, s)).kind) return f;\n'
     '    if ((f = readArray(in, tex_list_field, g.nq2, pt, texq, true, s)).kind) return f;'),
    ('F9', 'convert/format/rsr.cpp', 'pastEnd: an array that ends at the end of the file taken as cut short',
     'return left >= 0 && int64_t(count) * fileBytesPerItem > left;',
     'return left >= 0 && int64_t(count) * fileBytesPerItem >= left;'),
    ('F10', 'convert/format/output.cpp', 'output send: a later write error replaces the first',
     'if (!out.sink.write(out.sink.ctx, p, n) && !out.error)', 'if (!out.sink.write(out.sink.ctx, p, n))'),
    ('F11', 'convert/format/file_names.cpp', 'baseName: the slash kept (mtllib line)',
     "        if (*p == '/') name = p + 1;", "        if (*p == '/') name = p;"),
    # obj/
    ('O1', 'convert/obj/facet_text.h', 'quick branch: one texture corner too many',
     'std::clamp<int64_t>(int64_t(w.end2) - k0, 0, corners)',
     'std::clamp<int64_t>(int64_t(w.end2) - k0 + 1, 0, corners)'),
    ('O2', 'convert/obj/facet_text.h', 'quick branch: texture positions checked against the vertex list',
     'inList(k0, textured, g.nq2)', 'inList(k0, textured, g.nq)'),
    ('O3', 'convert/obj/facet_text.h', 'plain facet: its corners not counted for MaxNumEdges',
     '            tally.nq = std::max(tally.nq, f.nc);\n', ''),
    ('O4', 'convert/obj/facet_text.h', 'checked walk: a line end after every piece of a facet',
     '        if (end) out.done(putEnd(out.room(2), Lf));', '        out.done(putEnd(out.room(2), Lf));'),
    ('O5', 'convert/obj/facet_text.h', 'putFacets: a facet --clean leaves out stops the chunk',
     'j < end && (put == FacetPut::written || put == FacetPut::left_out)', 'j < end && put == FacetPut::written'),
    ('O6', 'convert/obj/facet_text.h', 'triangulated facet: not counted for MaxNumEdges',
     '            tally.nq = std::max(tally.nq, 3);\n', ''),
    ('O7', 'convert/obj/obj_body.cpp', "BodyWriter: MaxNumEdges is the last chunk's, not the most",
     'b.totals.Nq = std::max(b.totals.Nq, s.nq);', 'b.totals.Nq = s.nq;'),
    ('O8', 'convert/obj/obj_body.cpp', 'BodyWriter straight: the last material line written forgotten',
     's.materials.reset(straight_ ? b_.materials.written : no_material_line);', 's.materials.reset(no_material_line);'),
    ('O9', 'convert/obj/material_lines.cpp', 'writeFacetChunk: a chunk without material lines forgets the last one',
     'if (c.last != no_material_line) m.written = c.last;', 'm.written = c.last;'),
    ('O10', 'convert/obj/material_lines.cpp', "writeFacetChunk: a chunk's waiting material line always written",
     '        if (c.first != m.written) {', '        if (true) {'),
    ('O11', 'convert/obj/obj_lines.h', 'putName: an LF in a name becomes CR LF with --lf too',
     "if (s[i] == '\\n' && !lf) *p++ = '\\r';", "if (s[i] == '\\n') *p++ = '\\r';"),
    ('O12', 'convert/obj/obj_lines.cpp', 'closing comments: NumTVerts one too many',
     'p = formatInt(p, wrapAdd(t.dt, -1));', 'p = formatInt(p, t.dt);'),
    ('O13', 'convert/obj/option_lines.h', '--z-up: the sign of -z lost',
     'w[1] = o.zUp ? 0.0f - s[2] : s[1];', 'w[1] = o.zUp ? s[2] : s[1];'),
    ('O14', 'convert/obj/option_points.cpp', '--weld: every point, not only a new one, takes a number',
     'if (added) dv = wrapAdd(dv, 1);', 'dv = wrapAdd(dv, 1);'),
    ('O15', 'convert/obj/obj_writer.cpp', 'ObjWriter: welded groups also advance the point numbers by np',
     'if (!o_.weld) t_.dv = wrapAdd(t_.dv, g.np);', 't_.dv = wrapAdd(t_.dv, g.np);'),
    ('O16', 'convert/obj/obj_writer.cpp', 'ObjWriter: group names made safe not counted',
     '        if (o_.clean && !safeName(name, false)) ++counts_.names;\n', ''),
    ('O17', 'convert/obj/mtl.cpp', 'mtlText: colours shifted by one material',
     'materialColour(i, c);', 'materialColour(i + 1, c);'),
    # glb/
    ('G1', 'convert/glb/facet_sort.cpp', 'sortFacets: a span grows over a facet left out',
     'last->kind == kind && last->first + int32_t(last->facets) == j', 'last->kind == kind'),
    ('G2', 'convert/glb/glb_writer.cpp', "takeRun: a piece grows over another primitive's spans",
     'b.pieces.back().run == r && b.pieces.back().end == k', 'b.pieces.back().run == r'),
    ('G3', 'convert/glb/primitive_data.cpp', 'putTexcoords: v not flipped',
     'bitCast<uint32_t>(1.0f - c[1])', 'bitCast<uint32_t>(c[1])'),
    ('G4', 'convert/glb/primitive_data.cpp', 'putPositions: min bound not taken',
     '            if (s[k] < p.min[k]) p.min[k] = s[k];\n', ''),
    ('G5', 'convert/glb/primitive_data.cpp', 'IndexList: 16-bit indices of a pair swapped',
     'to = putLE32(to, waiting | v << 16);', 'to = putLE32(to, v | waiting << 16);'),
    ('G6', 'convert/glb/scene.h', 'wideIndices: 65536 vertices with 16-bit indices (65535 is the restart value)',
     'return vertices > 65535;', 'return vertices > 65536;'),
    ('G7', 'convert/glb/json_text.cpp', 'putJsonNumber: 9 significant digits',
     '"%.17g"', '"%.9g"'),
    ('G8', 'convert/glb/json_text.cpp', 'putJsonString: 0x1F not escaped',
     '} else if (u < 0x20) {', '} else if (u < 0x1F) {'),
    ('G9', 'convert/glb/json_text.cpp', 'sequenceLength: surrogates taken as UTF-8',
     '    if (c == 0xED) hi = 0x9F;\n', ''),
    ('G10', 'convert/glb/container.cpp', 'writeGlb: JSON chunk padded with NUL, not spaces',
     "while (json.size() % 4) json += ' ';", "while (json.size() % 4) json += '\\0';"),
    ('G11', 'convert/glb/scene_json.cpp', 'dataParts: index buffer view targets ARRAY_BUFFER',
     'bufferView(views, l.indices, l.indexBytes, index_target);',
     'bufferView(views, l.indices, l.indexBytes, vertex_target);'),
    # options/
    ('P1', 'convert/options/clean.cpp', 'unsafeByte: a space is safe',
     'return u <= 0x20 || u == 0x7F;', 'return u < 0x20 || u == 0x7F;'),
    ('P2', 'convert/options/clean.cpp', "readsAsNumber: '2.' reads as a number",
     '        ++s;\n        if (!digits()) return false;', '        ++s;\n        digits();'),
    ('P3', 'convert/options/clean.cpp', 'wholeTexture: a texture facet at position 0 not had',
     'had = t.c1 >= 0 && wrapAdd(t.c1, t.nc) > t.c1;', 'had = t.c1 > 0 && wrapAdd(t.c1, t.nc) > t.c1;'),
    ('P4', 'convert/options/clean.cpp', 'wholeTexture: as many texture corners as corners taken as too few',
     'if (!had || t.nc < f.nc ||', 'if (!had || t.nc <= f.nc ||'),
    ('P5', 'convert/options/clean.cpp', 'cleanFacet: merges counted in facets left out (swapped order)',
     '    if (out.v.size() < 3) {\n        ++c.fewCorners;\n        return false;\n    }\n    c.merged += merged;',
     '    c.merged += merged;\n    if (out.v.size() < 3) {\n        ++c.fewCorners;\n        return false;\n    }'),
    ('P6', 'convert/options/weld.cpp', 'weldPoint: z not compared',
     'if (e.x == x && e.y == y && e.z == z) return e.number;', 'if (e.x == x && e.y == y) return e.number;'),
    ('P7', 'convert/options/weld.cpp', 'roomFor: the table may fill up',
     'return w.count + more <= w.capacity / 2;', 'return w.count + more <= w.capacity;'),
    ('P8', 'convert/options/option_table.cpp', 'setNumber: --scale 0 taken',
     '!std::isfinite(number) || number <= 0)', '!std::isfinite(number) || number < 0)'),
    ('P9', 'convert/options/option_table.cpp', 'optionSet: --scale 1 counts as an option',
     'if (r.number) return (o.*r.number).value_or(1.0) != 1.0;', 'if (r.number) return (o.*r.number).has_value();'),
    ('P10', 'convert/options/option_table.cpp', 'listed: the last join after the second name',
     'i + 1 == names.size() ? lastJoin', 'i == 1 ? lastJoin'),
    ('P11', 'convert/options/material_colours.cpp', "materialColour: the palette's last colour not used",
     'if (i < palette_size) {', 'if (i + 1 < palette_size) {'),
    ('P12', 'convert/options/info.cpp', 'startGroupCount: a group name judged as a material name',
     'if (!safeName(name, false)) ++c.problems.names;', 'if (!safeName(name, true)) ++c.problems.names;'),
    ('P13', 'convert/options/info.cpp', 'countFacet: material 0 not counted as named',
     'c.corners, c.problems) && cm >= 0)', 'c.corners, c.problems) && cm > 0)'),
    ('P14', 'convert/options/materials_written.cpp', 'materialWritten: a slot counted again at each facet',
     '    if (known >= 0) return known;\n', ''),
    # batch/
    ('B1', 'convert/batch/batch_plan.cpp', 'listFolder: files in reverse path order',
     'return a.file < b.file;', 'return b.file < a.file;'),
    ('B2', 'convert/batch/batch_plan.cpp', 'planBatch: skip tested before clash (an existing output is no clash)',
     'if (made.empty() || !item.problem.empty()) continue;',
     'if (made.empty() || !item.problem.empty() || (!s.force && fs::exists(out))) continue;'),
    ('B3', 'convert/batch/batch_plan.cpp', 'planBatch: -o drops the path below the folder',
     'outDir / f.relative.parent_path() / name', 'outDir / name'),
    ('B4', 'convert/batch/batch_plan.cpp', 'planBatch: a missing NAME.rsr planned as an input',
     '} else if (fs::exists(st) && isRsrName(p)) {', '} else if (isRsrName(p)) {'),
    ('B5', 'convert/batch/batch_plan.cpp', 'outputKey: not normalized, dir/./a and dir/a differ',
     'toText(fs::absolute(out).lexically_normal())', 'toText(fs::absolute(out))'),
    ('B6', 'convert/batch/batch_plan.cpp', "planBatch: the two operand problems' texts swapped",
     'fs::exists(st) ? "not a folder or an .rsr file"\n' + ' ' * 45 + ': "no such file or folder";',
     'fs::exists(st) ? "no such file or folder"\n' + ' ' * 45 + ': "not a folder or an .rsr file";'),
    ('B7', 'convert/batch/batch_run.cpp', 'convertItem: a skipped file converted anyway',
     '    if (skipped(item)) return true;\n', ''),
    ('B8', 'convert/batch/batch_run.cpp', 'convertItem: a cancelled run leaves its temporary file',
     '        fs::remove(toPath(temp), ec);\n        return false;', '        return false;'),
    ('B9', 'convert/batch/batch_run.cpp', 'convertItem: a failed run counted as converted',
     'if (ok) report.outcome = FileOutcome::converted;', 'report.outcome = FileOutcome::converted;'),
    # cli/
    ('C1', 'cli/main.cpp', "parseArgs: '-' alone read as an option",
     "if (!options || arg[0] != '-' || !arg[1])", "if (!options || arg[0] != '-')"),
    ('C2', 'cli/main.cpp', 'oneFileForm: three operands with an .obj second taken as the one-file form',
     'return operands.size() == 2 && (operands[1] == "-"', 'return operands.size() >= 2 && (operands[1] == "-"'),
    ('C3', 'cli/main.cpp', "outputProblem: --glb to '-' refused even into a pipe",
     'return kind.binary && isTerminal(stdout)', 'return kind.binary'),
    ('C4', 'cli/main.cpp', 'main: --info with NAME.obj or NAME.glb second read as the one-file form',
     'const bool oneFile = !a.info && oneFileForm(a.operands);', 'const bool oneFile = oneFileForm(a.operands);'),
    ('C5', 'cli/main.cpp', 'setJobs: -j 1024 refused',
     'n < 1 || n > 1024)', 'n < 1 || n >= 1024)'),
    ('C6', 'cli/main.cpp', '--help: the --help and --version lines dropped',
     'const std::span<const OptionRow> own[] = {batch_rows, program_rows};',
     'const std::span<const OptionRow> own[] = {batch_rows};'),
    ('C7', 'cli/main.cpp', "batchOnlyText: the letters joined without 'and'",
     'return listed(letters, " and ") + " apply', 'return listed(letters, ", ") + " apply'),
    ('C8', 'cli/batch_form.cpp', 'runBatchForm: a failure wins over an interrupt (swapped order)',
     '    if (t.interrupted) return 130;\n    return t.failed ? 1 : 0;',
     '    if (t.failed) return 1;\n    return t.interrupted ? 130 : 0;'),
    ('C9', 'cli/batch_form.cpp', 'fileLines -v: the Finished notice printed too',
     'if (n.caption == item.in) lines += batchLine(item, n);', 'lines += batchLine(item, n);'),
    ('C10', 'cli/main.cpp', 'describe: --info of an operand that gives no file exits 0',
     '            status = status_failed;\n        } else {', '        } else {'),
    # frontend/
    ('C11', 'frontend/option_words.cpp', "readOption: '--clean=x' taken",
     'if (r && (!equals || r->valueName))', 'if (r)'),
    ('C12', 'frontend/option_words.cpp', "readOption: '-j2' does not take its value from the cluster",
     'arg[k + 1] ? arg + k + 1 : nullptr', 'nullptr'),
]


def run(build, mid, path, old, new):
    text = open(path).read()
    with open(path, 'w') as f:
        f.write(text.replace(old, new))
    try:
        if subprocess.run(['cmake', '--build', build, '-j2'], capture_output=True).returncode:
            return ['(does not build)']
        out = subprocess.run(['ctest', '-j2', '--timeout', '240', '--stop-on-failure'], cwd=build,
                             capture_output=True, text=True).stdout
        failed = out.split('The following tests FAILED:')[1:]
        return [l.split(' - ', 1)[1].split(' (')[0] for l in ''.join(failed).splitlines() if ' - ' in l]
    finally:
        with open(path, 'w') as f:
            f.write(text)


def main(argv):
    check = argv[0] == '--check'
    chosen = [m for m in MUTANTS if not argv[1:] or m[0] in argv[1:]]
    rows = []
    for mid, path, what, old, new in chosen:
        count = open(path).read().count(old)
        if check or count != 1:
            print(mid, path, 'applies' if count == 1 else f'found {count} times')
            continue
        failed = run(argv[0], mid, path, old, new)
        print(json.dumps({'id': mid, 'failed': failed}), flush=True)
        rows.append(f"| {mid} | `{path.removeprefix('convert/')}` | {what} | {', '.join(failed) or '**missed**'} |")
    if rows:
        subprocess.run(['cmake', '--build', argv[0], '-j2'], capture_output=True)  # the unchanged build again
        caught = sum('**missed**' not in r for r in rows)
        print(f'\n| id | file | change | first test to fail |\n|---|---|---|---|\n' + '\n'.join(rows))
        print(f'\n{len(rows)} mutants, {caught} caught, {len(rows) - caught} missed')


if __name__ == '__main__':
    main(sys.argv[1:] or ['build'])
