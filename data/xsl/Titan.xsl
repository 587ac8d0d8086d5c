<?xml version="1.0" encoding="UTF-8"?>
<!--
  Turns a decrypted TitanTV file into the TeskIEPG record the scheduler
  imports. The input is a record request (root tv-program-info) or a watch
  request (root tv-viewer-info) with one or more program elements; the
  record is made from the first one. A program's children may come in any
  order. Dates and times are UTC: start-date YYYYMMDD, start-time HH:MM,
  duration HH:MM.

  Elements are matched by local name, so a file that puts the elements in
  a namespace converts the same. A value that is missing or not a number
  leaves its element out: the scheduler reads a missing element as 0 but
  refuses one it cannot convert.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="xml" encoding="UTF-8" indent="yes"/>
  <xsl:strip-space elements="*"/>

  <xsl:variable name="upper" select="'ABCDEFGHIJKLMNOPQRSTUVWXYZ'"/>
  <xsl:variable name="lower" select="'abcdefghijklmnopqrstuvwxyz'"/>

  <xsl:template match="/">
    <xsl:variable name="program"
        select="*[local-name() = 'tv-program-info' or local-name() = 'tv-viewer-info']/*[local-name() = 'program'][1]"/>
    <xsl:if test="not($program)">
      <xsl:message terminate="yes">not a TitanTV programme file</xsl:message>
    </xsl:if>
    <xsl:apply-templates select="$program" mode="record"/>
  </xsl:template>

  <xsl:template match="*" mode="record">
    <xsl:variable name="tv-mode"
        select="translate(normalize-space(*[local-name() = 'tv-mode']), $upper, $lower)"/>
    <!-- "cable" is analog cable: tuned by its channel number like analog. -->
    <xsl:variable name="mode">
      <xsl:choose>
        <xsl:when test="$tv-mode = 'cable'">analog</xsl:when>
        <xsl:otherwise><xsl:value-of select="$tv-mode"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:variable name="rf-channel" select="normalize-space(*[local-name() = 'rf-channel'])"/>
    <xsl:variable name="psip-major" select="normalize-space(*[local-name() = 'psip-major'])"/>
    <xsl:variable name="psip-minor" select="normalize-space(*[local-name() = 'psip-minor'])"/>

    <xsl:variable name="start-date" select="translate(normalize-space(*[local-name() = 'start-date']), '-', '')"/>
    <xsl:variable name="start-minute">
      <xsl:call-template name="minute-of-day">
        <xsl:with-param name="time" select="normalize-space(*[local-name() = 'start-time'])"/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:variable name="start-day">
      <xsl:call-template name="day-number">
        <xsl:with-param name="date" select="$start-date"/>
      </xsl:call-template>
    </xsl:variable>

    <xsl:variable name="duration">
      <xsl:call-template name="duration">
        <xsl:with-param name="program" select="."/>
        <xsl:with-param name="start-day" select="$start-day"/>
        <xsl:with-param name="start-minute" select="$start-minute"/>
      </xsl:call-template>
    </xsl:variable>

    <TeskIEPG>
      <Record>
        <xsl:choose>
          <xsl:when test="$rf-channel != '' and not(translate($rf-channel, '0123456789', ''))">
            <RFChannel><xsl:value-of select="number($rf-channel)"/></RFChannel>
          </xsl:when>
          <!-- Listings of digital lineups may give only the virtual channel. -->
          <xsl:when test="$psip-major != '' and not(translate($psip-major, '0123456789', ''))">
            <RFChannel><xsl:value-of select="number($psip-major)"/></RFChannel>
          </xsl:when>
        </xsl:choose>
        <xsl:if test="$mode != ''">
          <Mode><xsl:value-of select="$mode"/></Mode>
        </xsl:if>
        <xsl:if test="$mode = 'digital'">
          <xsl:if test="$psip-major != '' and not(translate($psip-major, '0123456789', ''))">
            <MajorChannel><xsl:value-of select="number($psip-major)"/></MajorChannel>
          </xsl:if>
          <xsl:if test="$psip-minor != '' and not(translate($psip-minor, '0123456789', ''))">
            <MinorChannel><xsl:value-of select="number($psip-minor)"/></MinorChannel>
          </xsl:if>
        </xsl:if>
        <xsl:if test="string($duration) != ''">
          <Duration><xsl:value-of select="$duration"/></Duration>
        </xsl:if>
        <xsl:if test="string($start-day) != '' and string($start-minute) != ''">
          <StartTime>
            <Year><xsl:value-of select="number(substring($start-date, 1, 4))"/></Year>
            <Month><xsl:value-of select="number(substring($start-date, 5, 2))"/></Month>
            <Day><xsl:value-of select="number(substring($start-date, 7, 2))"/></Day>
            <Hour><xsl:value-of select="floor($start-minute div 60)"/></Hour>
            <Minutes><xsl:value-of select="$start-minute mod 60"/></Minutes>
          </StartTime>
        </xsl:if>
        <Title><xsl:value-of select="normalize-space(*[local-name() = 'program-title'])"/></Title>
      </Record>
    </TeskIEPG>
  </xsl:template>

  <!-- Minutes in the programme: the duration element (HH:MM, or plain
       minutes), else the distance from the start to end-date/end-time
       (the start's date when end-date is missing; an end before the start
       on the same date is taken as the next day). Empty when unknown. -->
  <xsl:template name="duration">
    <xsl:param name="program"/>
    <xsl:param name="start-day"/>
    <xsl:param name="start-minute"/>
    <xsl:variable name="given" select="normalize-space($program/*[local-name() = 'duration'])"/>
    <xsl:variable name="given-minutes">
      <xsl:choose>
        <xsl:when test="$given != '' and not(translate($given, '0123456789', ''))">
          <xsl:value-of select="number($given)"/>
        </xsl:when>
        <xsl:when test="contains($given, ':')">
          <xsl:call-template name="hours-and-minutes">
            <xsl:with-param name="time" select="$given"/>
            <xsl:with-param name="max-hours" select="100000"/>
          </xsl:call-template>
        </xsl:when>
      </xsl:choose>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="string($given-minutes) != ''">
        <xsl:value-of select="$given-minutes"/>
      </xsl:when>
      <xsl:when test="string($start-day) != '' and string($start-minute) != ''">
        <xsl:variable name="end-date-given"
            select="translate(normalize-space($program/*[local-name() = 'end-date']), '-', '')"/>
        <xsl:variable name="end-day">
          <xsl:choose>
            <xsl:when test="$end-date-given != ''">
              <xsl:call-template name="day-number">
                <xsl:with-param name="date" select="$end-date-given"/>
              </xsl:call-template>
            </xsl:when>
            <xsl:otherwise><xsl:value-of select="$start-day"/></xsl:otherwise>
          </xsl:choose>
        </xsl:variable>
        <xsl:variable name="end-minute">
          <xsl:call-template name="minute-of-day">
            <xsl:with-param name="time" select="normalize-space($program/*[local-name() = 'end-time'])"/>
          </xsl:call-template>
        </xsl:variable>
        <xsl:if test="string($end-day) != '' and string($end-minute) != ''">
          <xsl:variable name="length"
              select="($end-day - $start-day) * 1440 + $end-minute - $start-minute"/>
          <xsl:choose>
            <xsl:when test="$length &gt;= 0"><xsl:value-of select="$length"/></xsl:when>
            <xsl:when test="$end-date-given = '' and $length + 1440 &gt;= 0">
              <xsl:value-of select="$length + 1440"/>
            </xsl:when>
          </xsl:choose>
        </xsl:if>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- HH:MM (seconds, if any, ignored) as minutes since midnight; empty
       when it is not a time of day. -->
  <xsl:template name="minute-of-day">
    <xsl:param name="time"/>
    <xsl:call-template name="hours-and-minutes">
      <xsl:with-param name="time" select="$time"/>
      <xsl:with-param name="max-hours" select="23"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template name="hours-and-minutes">
    <xsl:param name="time"/>
    <xsl:param name="max-hours"/>
    <xsl:variable name="hours" select="substring-before($time, ':')"/>
    <xsl:variable name="rest" select="concat(substring-after($time, ':'), ':')"/>
    <xsl:variable name="minutes" select="substring-before($rest, ':')"/>
    <xsl:if test="$hours != '' and not(translate($hours, '0123456789', ''))
                  and string-length($minutes) = 2 and not(translate($minutes, '0123456789', ''))
                  and number($hours) &lt;= $max-hours and number($minutes) &lt;= 59">
      <xsl:value-of select="number($hours) * 60 + number($minutes)"/>
    </xsl:if>
  </xsl:template>

  <!-- YYYYMMDD as a day count (days from the civil calendar: consecutive
       days give consecutive numbers); empty when it is not a date. -->
  <xsl:template name="day-number">
    <xsl:param name="date"/>
    <xsl:if test="string-length($date) = 8 and not(translate($date, '0123456789', ''))">
      <xsl:variable name="year" select="number(substring($date, 1, 4))"/>
      <xsl:variable name="month" select="number(substring($date, 5, 2))"/>
      <xsl:variable name="day" select="number(substring($date, 7, 2))"/>
      <xsl:if test="$month &gt;= 1 and $month &lt;= 12 and $day &gt;= 1 and $day &lt;= 31">
        <xsl:variable name="a" select="floor((14 - $month) div 12)"/>
        <xsl:variable name="y" select="$year + 4800 - $a"/>
        <xsl:variable name="m" select="$month + 12 * $a - 3"/>
        <xsl:value-of select="$day + floor((153 * $m + 2) div 5) + 365 * $y + floor($y div 4)
                              - floor($y div 100) + floor($y div 400) - 32045"/>
      </xsl:if>
    </xsl:if>
  </xsl:template>
</xsl:stylesheet>
